#pragma once

#include <QDialog>
#include <QString>
#include <map>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;
class QFrame;
class CPrefsCaption;

// Base of every option page: a child widget of the host, made the first time it is shown.
class CPrefsSubDlg : public QWidget {
public:
    explicit CPrefsSubDlg(int templateId) : m_templateId(templateId) {}
    int TemplateId() const { return m_templateId; }
    // Builds the controls and loads the values into them.
    virtual void OnInitDialog() = 0;
    // Stores the values; called only after every created page validated.
    virtual void OnOK() {}
    virtual void OnCancel() {}
    // Checks the controls before any page stores; shows its own message when it refuses.
    virtual bool Validate() { return true; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_templateId;
};

// The host of the option pages (dialog 129): a tree of page names beside one page at a time.
class CPrefsDlg : public QDialog {
public:
    explicit CPrefsDlg(QWidget* parent);
    // Refused once the window has been set up.
    bool AddPage(CPrefsSubDlg& page, const QString& caption, CPrefsSubDlg* parent = nullptr);
    void SetTitle(const QString& title) { m_title = title; }
    void SetConstantText(const QString& text) { m_constantText = text; }
    void SetStartPage(CPrefsSubDlg* page) { m_startPage = page; }
    // Builds the window and shows the start page; exec() calls it when not done before.
    void InitDialog();
    int exec() override;
    void accept() override;
    void reject() override;
    void ShowPage(int index);
    int CurrentPage() const { return m_current; }
    void OnHelp();

private:
    struct Entry {
        CPrefsSubDlg* page;
        QString caption;
        CPrefsSubDlg* parent;
        bool created = false;
    };
    std::vector<Entry> m_pages;
    std::map<CPrefsSubDlg*, QTreeWidgetItem*> m_items;
    int m_current = -1;
    CPrefsSubDlg* m_startPage = nullptr;
    QString m_title = "Untitled";
    QString m_constantText;
    bool m_initialized = false;
    QTreeWidget* m_tree = nullptr;
    QFrame* m_frame = nullptr;
    CPrefsCaption* m_caption = nullptr;
};
