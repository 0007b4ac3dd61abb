#include "mrv/prompts.h"
#include "mrv/qt_prompts.h"
#include "mrv/scripted_prompts.h"

#include <gtest/gtest.h>

namespace {

using Mrv::DialogType;
using Mrv::FileDialogOptions;
using Mrv::ModalResult;
using Mrv::ScriptedPrompts;

FileDialogOptions dialog(const char* title, const char* fileName, bool multiSelect = false)
{
    FileDialogOptions options;
    options.title = title;
    options.fileName = fileName;
    options.multiSelect = multiSelect;
    return options;
}

TEST(ScriptedPrompts, EachKindTakesItsOwnQueueInOrder)
{
    ScriptedPrompts prompts;
    prompts.queueConfirm(false);
    prompts.queueConfirm(true);
    prompts.queueInput(std::string("Nova Pasta"));
    prompts.queueInput(std::nullopt);
    prompts.queueSave(std::string("/tmp/nota.xml"));
    prompts.queueOpen(std::vector<std::string>{"/tmp/a.xml", "/tmp/b c.xml"});
    EXPECT_EQ(prompts.pending("confirm"), 2u);

    // Interleaved on purpose: an input prompt must not consume a confirmation, and so on.
    EXPECT_EQ(prompts.inputText("Diretório", "Nome:", ""), std::optional<std::string>("Nova Pasta"));
    EXPECT_EQ(prompts.ask("VOP", "Excluir?", DialogType::Confirmation), ModalResult::No);
    EXPECT_EQ(prompts.saveFile(dialog("Salvar", "nota.xml")), std::optional<std::string>("/tmp/nota.xml"));
    EXPECT_EQ(prompts.ask("VOP", "Sair?", DialogType::Confirmation), ModalResult::Yes);
    EXPECT_EQ(prompts.inputText("Diretório", "Nome:", "x"), std::nullopt);
    const auto opened = prompts.openFiles(dialog("Abrir", "", true));
    ASSERT_TRUE(opened);
    EXPECT_EQ(*opened, (std::vector<std::string>{"/tmp/a.xml", "/tmp/b c.xml"}));

    EXPECT_TRUE(prompts.failures().empty());
    for (const char* kind : {"confirm", "input", "save", "open"})
        EXPECT_EQ(prompts.pending(kind), 0u) << kind;

    const auto transcript = prompts.transcript();
    ASSERT_EQ(transcript.size(), 6u);
    const std::vector<std::vector<std::string>> expected = {
        {"input", "Diretório", "Nome:", "Nova Pasta"},
        {"confirm", "VOP", "Excluir?", "no"},
        {"save", "Salvar", "nota.xml", "/tmp/nota.xml"},
        {"confirm", "VOP", "Sair?", "yes"},
        {"input", "Diretório", "Nome:", "cancel"},
        {"open", "Abrir", "", "/tmp/a.xml;/tmp/b c.xml"},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(transcript[i].kind, expected[i][0]);
        EXPECT_EQ(transcript[i].caption, expected[i][1]);
        EXPECT_EQ(transcript[i].text, expected[i][2]);
        EXPECT_EQ(transcript[i].answer, expected[i][3]);
    }
}

TEST(ScriptedPrompts, BoxesAcknowledgeThemselvesAndUnansweredPromptsAreFailures)
{
    ScriptedPrompts prompts;
    prompts.error("VOP", "Falha na conexão.");
    prompts.inform("VOP", "Pronto.");
    EXPECT_TRUE(prompts.failures().empty());

    // Nothing queued: each answers cancel (No for a question) and is recorded by name.
    EXPECT_EQ(prompts.ask("VOP", "Excluir o arquivo?", DialogType::Confirmation), ModalResult::No);
    EXPECT_EQ(prompts.saveFile(dialog("Salvar", "a.xml")), std::nullopt);
    EXPECT_EQ(prompts.openFiles(dialog("Abrir", "")), std::nullopt);
    EXPECT_EQ(prompts.inputText("Diretório", "Nome:", ""), std::nullopt);

    const auto failures = prompts.failures();
    ASSERT_EQ(failures.size(), 4u);
    EXPECT_NE(failures[0].find("confirm"), std::string::npos);
    EXPECT_NE(failures[0].find("Excluir o arquivo?"), std::string::npos);
    EXPECT_NE(failures[1].find("save"), std::string::npos);
    EXPECT_NE(failures[2].find("open"), std::string::npos);
    EXPECT_NE(failures[3].find("input"), std::string::npos);

    const auto transcript = prompts.transcript();
    ASSERT_EQ(transcript.size(), 6u);
    EXPECT_EQ(transcript[0].kind, "error");
    EXPECT_EQ(transcript[0].answer, "ok");
    EXPECT_EQ(transcript[1].kind, "info");
    for (std::size_t i = 2; i < transcript.size(); ++i)
        EXPECT_EQ(transcript[i].answer, "unanswered");
}

TEST(ScriptedPrompts, SingleSelectionOpenKeepsTheFirstFile)
{
    ScriptedPrompts prompts;
    prompts.queueOpen(std::vector<std::string>{"/tmp/a.xml", "/tmp/b.xml"});
    const auto opened = prompts.openFiles(dialog("Abrir", "", false));
    ASSERT_TRUE(opened);
    EXPECT_EQ(*opened, std::vector<std::string>{"/tmp/a.xml"});
}

TEST(Prompts, InstalledPromptsAreInForceUntilRestored)
{
    auto scripted = std::make_unique<ScriptedPrompts>();
    ScriptedPrompts* raw = scripted.get();
    Mrv::installPrompts(std::move(scripted));
    Mrv::prompts().inform("VOP", "via the seam");
    EXPECT_EQ(raw->transcript().size(), 1u);
    Mrv::installPrompts(nullptr);
    EXPECT_NE(dynamic_cast<Mrv::QtPrompts*>(&Mrv::prompts()), nullptr);
}

TEST(QtPrompts, FormFiltersBecomeQtFilters)
{
    EXPECT_EQ(Mrv::qtFileFilter("Arquivos XML|*.xml|Todos|*.*"), "Arquivos XML (*.xml);;Todos (*.*)");
    EXPECT_EQ(Mrv::qtFileFilter("Notas|*.xml;*.XML"), "Notas (*.xml *.XML)");
    EXPECT_EQ(Mrv::qtFileFilter(""), "");
}

TEST(ScriptedPromptsFolderAndChoice, AnswersInOrderAndAnOutOfRangeButtonFails)
{
    ScriptedPrompts prompts;
    prompts.queueFolder(std::string("/tmp/lote"));
    prompts.queueFolder(std::nullopt);
    prompts.queueChoice(2);
    prompts.queueChoice(4);
    const std::vector<std::string> buttons{"Substituir todos", "Ignorar existentes", "Cancelar"};
    EXPECT_EQ(prompts.chooseFolder("Pasta", "/home"), std::optional<std::string>("/tmp/lote"));
    EXPECT_EQ(prompts.chooseFolder("Pasta", ""), std::nullopt);
    EXPECT_EQ(prompts.choose("Baixar", "2 já existem.", buttons), 1);
    EXPECT_TRUE(prompts.failures().empty());
    EXPECT_EQ(prompts.choose("Baixar", "2 já existem.", buttons), -1);  // button 4 of 3
    EXPECT_EQ(prompts.choose("Baixar", "nada na fila", buttons), -1);
    EXPECT_EQ(prompts.chooseFolder("Pasta", ""), std::nullopt);
    const auto transcript = prompts.transcript();
    ASSERT_EQ(transcript.size(), 6u);
    EXPECT_EQ(transcript[0].kind, "folder");
    EXPECT_EQ(transcript[1].answer, "cancel");
    EXPECT_EQ(transcript[2].kind, "choice");
    EXPECT_EQ(transcript[2].text, "2 já existem.\nSubstituir todos | Ignorar existentes | Cancelar");
    EXPECT_EQ(transcript[2].answer, "Ignorar existentes");
    EXPECT_EQ(prompts.failures().size(), 3u);
}

} // namespace
