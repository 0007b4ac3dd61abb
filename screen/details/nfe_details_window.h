#pragma once

#include "nfe/nfe_display.h"

#include <QWidget>

class QFormLayout;
class QGroupBox;
class QLabel;
class QPushButton;

namespace Cli_Vop31600 {

// "Detalhes da NF-e": a modeless tool window over the screen that shows what one file says.
class NfeDetailsWindow : public QWidget {
    Q_OBJECT
public:
    explicit NfeDetailsWindow(QWidget* screen);

    // While a file is being read: its name, and the previous details greyed out.
    void showReading(const QString& fileName);
    void showDetails(const QString& fileName, const Nfe::DetailsText& details);
    const Nfe::DetailsText& details() const { return details_; }

private:
    QLabel* addRow(QFormLayout& form, const QString& caption, const char* objectName);
    void copyKey();

    Nfe::DetailsText details_;
    QLabel* lblArquivo = nullptr;
    QLabel* lblErro = nullptr;
    QWidget* panDados = nullptr;
    QLabel* lblChave = nullptr;
    QPushButton* btnCopiarChave = nullptr;
    QLabel* lblChaveValida = nullptr;
    QLabel* lblChaveNome = nullptr;
    QLabel* lblModelo = nullptr;
    QLabel* lblSerie = nullptr;
    QLabel* lblNumero = nullptr;
    QLabel* lblEmissao = nullptr;
    QLabel* lblEmitente = nullptr;
    QLabel* lblEmitenteDoc = nullptr;
    QLabel* lblDestinatario = nullptr;
    QLabel* lblDestinatarioDoc = nullptr;
    QLabel* lblValorTotal = nullptr;
    QLabel* lblSituacao = nullptr;
    QLabel* lblProtocolo = nullptr;
    QGroupBox* grbEvento = nullptr;
    QLabel* lblEventoTipo = nullptr;
    QLabel* lblEventoData = nullptr;
    QLabel* lblEventoSequencia = nullptr;
    QLabel* lblEventoChave = nullptr;
    QLabel* lblEventoTexto = nullptr;
};

} // namespace Cli_Vop31600
