#include "appserver/system_error_text.h"

#include <cerrno>

namespace AppServer {

std::string systemErrorText(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return "Permissão negada";
    case ENOENT:
        return "Arquivo ou diretório inexistente";
    case EEXIST:
        return "Já existe";
    case ENOTDIR:
        return "Não é um diretório";
    case EISDIR:
        return "É um diretório";
    case ENOTEMPTY:
        return "Diretório não vazio";
    case ENOSPC:
        return "Não há espaço disponível no dispositivo";
    case EDQUOT:
        return "Cota de disco excedida";
    case EROFS:
        return "Sistema de arquivos somente para leitura";
    case ENAMETOOLONG:
        return "Nome muito longo";
    case EBUSY:
        return "Recurso ocupado";
    case EIO:
        return "Erro de entrada/saída";
    case EMFILE:
    case ENFILE:
        return "Arquivos abertos demais";
    case ELOOP:
        return "Links simbólicos demais";
    case EFBIG:
        return "Arquivo grande demais";
    default:
        return "Erro do sistema " + std::to_string(error);
    }
}

} // namespace AppServer
