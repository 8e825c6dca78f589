#pragma once

#include <QDialog>

// The About box (dialog 100).
class CAboutDlg : public QDialog {
public:
    explicit CAboutDlg(QWidget* parent);
    static constexpr const char* kWebPage = "https://www.orvane.example/screen/";
    static constexpr const char* kSupportMail = "support@orvane.example";
};
