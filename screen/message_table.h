#pragma once

#include <string>
#include <vector>

namespace Cli_Vop31600 {

// The lines of the screen's message table msgPadrao: key, "|", text.
inline const std::vector<std::string>& messageTableLines()
{
    static const std::vector<std::string> lines{
        "DISCONECTADO|Disconectado",
        "VEL_DOWNLOAD|Velocidade Download ",
        "VEL_UPLOAD|Velocidade Upload %s (Arquivo %s de %s).",
        // The batch download and the folder upload: files done of files found.
        "VEL_DOWNLOAD_LOTE|Velocidade Download %s (%s de %s arquivos concluídos).",
        "VEL_UPLOAD_PASTA|Velocidade Upload %s (%s de %s arquivos concluídos).",
        "TRANSF_COMPLETA|Transferência Completa (%s Bytes Recebidos em %s Segundos).",
        "NOVO_DIRETORIO|Criar Novo Diretório",
        "NOME|Nome",
        "TRANSF_CANCELADA|Transferência Cancelada.",
        "CONF_EXCLUSAO|Confirma exclusão?",
        "PROCESSO_RODANDO|Existe um download ou upload em andamento. Deseja cancelar a operação?",
        "EXCLUSAO_BLOQUEADA|Operação bloqueada. Diretório necessário para o funcionamento dos sistemas Morvane.",
        "NOVO_DIR_JA_EXISTE|Operação bloqueada. Já existe um diretório com este nome.",
        // A failed transfer is reported as such, never as complete.
        "TRANSF_FALHOU|Falha na transferência: %s.",
        // Only one transfer runs at a time; a second start is refused with this.
        "TRANSF_EM_ANDAMENTO|Já existe um download ou upload em andamento. Aguarde o término ou aborte a transferência.",
    };
    return lines;
}

} // namespace Cli_Vop31600
