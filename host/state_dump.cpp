#include "host/state_dump.h"

#include "host/screen_access.h"
#include "mrv/module_loader.h"
#include "mrv/scripted_prompts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

#include <atomic>
#include <cstdint>

namespace Host {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

QJsonArray promptTranscript(const Mrv::ScriptedPrompts& prompts)
{
    QJsonArray list;
    for (const auto& prompt : prompts.transcript())
        list.append(QJsonObject{{"kind", qs(prompt.kind)},
                                {"caption", qs(prompt.caption)},
                                {"text", qs(prompt.text)},
                                {"answer", qs(prompt.answer)}});
    return list;
}

} // namespace

QJsonObject moduleGlobals(const Mrv::LoadedModule& module)
{
    QJsonObject globals;
    for (const char* name : {"boStCriado", "boHttp"})
        globals[name] = module.data<bool>(name);
    for (const char* name : {"SHttpHosAddr", "SHttpPort", "SHttpProxyHost", "SHttpProxyPort", "SHttpProxyUserId",
                             "stConnectStr"})
        globals[name] = qs(module.data<std::string>(name));
    for (const char* name : {"InIdUtHttpProxy", "InHttpHttps"})
        globals[name] = module.data<std::int32_t>(name);
    // The transfer worker writes the speed while the GUI thread reads it.
    globals["VelocidadeMedia"] = std::atomic_ref<double>(module.data<double>("VelocidadeMedia")).load();
    return globals;
}

QJsonObject stateDump(QMdiArea* area, const Mrv::LoadedModule& module, const Mrv::ScriptedPrompts& prompts)
{
    QJsonObject dump;
    QWidget* screen = findScreen(area);
    // An invalid QVariant (no current row) becomes JSON null on the way.
    dump["screen"] = screen ? QJsonValue(QJsonObject::fromVariantMap(screenState(screen))) : QJsonValue();
    // The JSON objects nested in the details (evento) come from maps, nulls from invalid variants.
    dump["details"] = QJsonValue::fromVariant(detailsState(screen));
    dump["resumo"] = QJsonValue::fromVariant(summaryState(screen));
    dump["prompts"] = promptTranscript(prompts);
    dump["globals"] = moduleGlobals(module);
    return dump;
}

std::string dumpLine(const QJsonObject& dump)
{
    return QJsonDocument(dump).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

} // namespace Host
