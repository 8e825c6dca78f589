#include "dialogs/AboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "framework/Commands.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About");
    setObjectName("dialog100");
    QFont font("Verdana");
    setFont(font);
    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    auto* text = new QLabel("Orvane Screen Version 1.00", this);
    auto link = [this](const QString& url, const QString& shown, const char* id) {
        auto* l =
            new QLabel(QString("<a href=\"%1\">%2</a>").arg(url, shown.toHtmlEscaped()), this);
        l->setObjectName(id);
        l->setOpenExternalLinks(true);
        l->setTextInteractionFlags(Qt::TextBrowserInteraction);
        return l;
    };
    auto* column = new QVBoxLayout;
    column->addWidget(text);
    column->addWidget(link(kWebPage, kWebPage, "1202"));
    column->addWidget(link(QString("mailto:") + kSupportMail, kSupportMail, "1203"));
    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(column);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}
