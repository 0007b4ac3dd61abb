// A stand-in module whose screen follows the conventions the script driver relies on (object names,
// its registered script state, form-scoped shortcuts), so the driver is tested without the real
// screen and its servers. Every user action it sees is appended to `log` in its state.
#include "mrv/application.h"
#include "mrv/package_info.h"
#include "mrv/prompts.h"
#include "mrv/scripted_screen.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <QCloseEvent>

#include <string>

#define EXPORTED extern "C" __attribute__((visibility("default")))

extern "C" {
__attribute__((visibility("default"))) bool boStCriado = false;
__attribute__((visibility("default"))) bool boHttp = false;
__attribute__((visibility("default"))) std::string SHttpHosAddr;
__attribute__((visibility("default"))) std::string SHttpPort;
__attribute__((visibility("default"))) std::string SHttpProxyHost;
__attribute__((visibility("default"))) std::string SHttpProxyPort;
__attribute__((visibility("default"))) std::string SHttpProxyUserId;
__attribute__((visibility("default"))) std::string stConnectStr;
__attribute__((visibility("default"))) std::int32_t InIdUtHttpProxy = 0;
__attribute__((visibility("default"))) std::int32_t InHttpHttps = 0;
__attribute__((visibility("default"))) double VelocidadeMedia = 0.0;
}

namespace {

const QStringList fields = {"DSNOME", "DSTIPO", "FLTAMANHO", "DSDTHRMODIFICACAO"};

class FakeScreen : public QWidget, public Mrv::ScriptedScreen {
    Q_OBJECT
public:
    FakeScreen()
    {
        setObjectName("frmCtrlArqXMLNFe");
        setWindowTitle("Tela de teste");
        auto* layout = new QVBoxLayout(this);
        path_ = new QLineEdit("/XMLFTP/12", this);
        path_->setObjectName("edtDiretorio");
        path_->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(path_);
        for (const char* name : {"btnAtualizar", "btnExcluir", "btnNovoDir", "btnUpload", "btnAbortar"}) {
            auto* button = new QPushButton(name, this);
            button->setObjectName(name);
            button->setFocusPolicy(Qt::NoFocus);
            layout->addWidget(button);
            connect(button, &QPushButton::clicked, this, [this, name] { clicked(name); });
        }
        findChild<QPushButton*>("btnAbortar")->setEnabled(false);

        model_ = new QStandardItemModel(0, int(fields.size()), this);
        for (int column = 0; column < fields.size(); ++column) {
            model_->setHeaderData(column, Qt::Horizontal, fields[column], Qt::DisplayRole);
            model_->setHeaderData(column, Qt::Horizontal, fields[column], Qt::UserRole);
        }
        for (const char* name : {"alfa.xml", "beta gama.xml", "Organização"})
            addRow(name);
        grid_ = new QTableView(this);
        grid_->setObjectName("dbgArquivos");
        grid_->setModel(model_);
        grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
        grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        layout->addWidget(grid_);
        setFocusProxy(grid_);
        connect(grid_, &QTableView::doubleClicked, this,
                [this](const QModelIndex& index) { log("dblclick " + nameAt(index.row())); });
        connect(grid_->horizontalHeader(), &QHeaderView::sectionClicked, this,
                [this](int section) { log("title " + fields[section]); });

        auto* refresh = new QAction(this);
        refresh->setShortcut(QKeySequence("Ctrl+A"));
        refresh->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(refresh);
        connect(refresh, &QAction::triggered, this, [this] { log("shortcut Ctrl+A"); });
        Mrv::registerScriptedScreen(this, this);
    }

    ~FakeScreen() override
    {
        Mrv::unregisterScriptedScreen(this);
        boStCriado = false;
    }

    QVariantMap scriptState() const override
    {
        QVariantList rows;
        for (int row = 0; row < model_->rowCount(); ++row)
            rows << model_->index(row, 0).data(Qt::UserRole);
        const QModelIndex current = grid_->currentIndex();
        QVariantMap enabled;
        for (auto* button : findChildren<QPushButton*>())
            enabled[button->objectName()] = button->isEnabled();
        enabled["dbgArquivos"] = grid_->isEnabled();
        return {{"caption", windowTitle()},
                {"path", path_->text()},
                {"rows", rows},
                {"current", current.isValid() ? QVariant(current.row()) : QVariant()},
                {"enabled", enabled},
                {"log", log_}};
    }

    QVariant detailsState() const override { return QVariant(); }
    bool transferRunning() const override { return busy_; }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (busy_ && Mrv::prompts().ask("VOP", "Transferência em andamento. Fechar?", Mrv::DialogType::Confirmation)
                         != Mrv::ModalResult::Yes) {
            event->ignore();
            return;
        }
        event->accept();
    }

private:
    void addRow(const QString& name)
    {
        const QVariantMap values = {{"DSNOME", name}, {"DSTIPO", "Arquivo"}, {"FLTAMANHO", 10}, {"DSDTHRMODIFICACAO", ""}};
        QList<QStandardItem*> items;
        for (const QString& field : fields) {
            auto* item = new QStandardItem(values[field].toString());
            item->setData(values, Qt::UserRole);
            items << item;
        }
        model_->appendRow(items);
    }

    QString nameAt(int row) const { return model_->index(row, 0).data().toString(); }

    void log(const QString& line) { log_ << line; }

    void clicked(const QString& name)
    {
        log("click " + name);
        if (name == "btnExcluir") {
            const int row = grid_->currentIndex().row();
            if (row >= 0 && Mrv::prompts().ask("VOP", "Excluir " + nameAt(row).toStdString() + "?",
                                               Mrv::DialogType::Confirmation) == Mrv::ModalResult::Yes)
                model_->removeRow(row);
        } else if (name == "btnNovoDir") {
            if (auto text = Mrv::prompts().inputText("Novo diretório", "Nome:", ""))
                addRow(QString::fromStdString(*text));
        } else if (name == "btnUpload") {
            Mrv::FileDialogOptions options;
            options.title = "Enviar";
            options.multiSelect = true;
            if (auto paths = Mrv::prompts().openFiles(options)) {
                busy_ = true;
                findChild<QPushButton*>("btnAbortar")->setEnabled(true);
                QTimer::singleShot(300, this, [this] {
                    busy_ = false;
                    findChild<QPushButton*>("btnAbortar")->setEnabled(false);
                    log("transfer done");
                });
            }
        } else if (name == "btnAbortar") {
            busy_ = false;
        }
    }

    QLineEdit* path_;
    QStandardItemModel* model_;
    QTableView* grid_;
    QStringList log_;
    bool busy_ = false;
};

QPointer<FakeScreen> screen;

const char* const requiredPackages[] = {"_mrv"};
const char* const containedUnits[] = {"FakeScreen"};
void noWork() {}
const Mrv::PackageUnitEntry units[] = {{"FakeScreen", noWork, noWork}};
const Mrv::PackageInfoTable table = {1, units};

} // namespace

EXPORTED const Mrv::PackageDescriptor PACKAGEINFO = {
    Mrv::packageMagic, Mrv::pfRunOnly | Mrv::pfPackageModule, 1, requiredPackages, 1, containedUnits,
    {1, 0, 0, 0, "1.0.000", 0x0416, 1252}};

EXPORTED void Initialize() { boStCriado = false; }
EXPORTED void Finalize() { stConnectStr.clear(); }
EXPORTED const Mrv::PackageInfoTable* GetPackageInfoTable() { return &table; }

EXPORTED void IniProc()
{
    if (!screen) {
        screen = new FakeScreen;  // owned by its MDI child, which deletes itself on close
        QMdiSubWindow* sub = Mrv::Application::instance().mdiArea()->addSubWindow(screen);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        boStCriado = true;
    }
    screen->parentWidget()->showNormal();
    screen->parentWidget()->raise();
}

#include "fake_screen_module.moc"
