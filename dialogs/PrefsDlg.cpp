#include "dialogs/PrefsDlg.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "framework/WinApp.h"

// The bar above the page: a dark-to-light gradient with the program's name embossed on the
// right and the page's caption on the dark end.
class CPrefsCaption : public QWidget {
public:
    explicit CPrefsCaption(QWidget* parent) : QWidget(parent) {
        setObjectName("1009");
        setMinimumHeight(28);
        m_font = QFont("Verdana");
        m_font.setBold(true);
        m_font.setPixelSize(14);
    }
    void SetConstantText(const QString& text) {
        m_constant = text;
        m_bitmap = QPixmap();
        update();
    }
    void SetText(const QString& text) {
        m_text = text;
        setAccessibleName(text);
        update();
    }
    QString Text() const { return m_text; }

protected:
    void resizeEvent(QResizeEvent*) override { m_bitmap = QPixmap(); }
    void paintEvent(QPaintEvent*) override {
        if (m_bitmap.size() != size()) DrawBitmap();
        QPainter p(this);
        p.drawPixmap(0, 0, m_bitmap);
        p.setFont(m_font);
        p.setPen(palette().color(QPalette::Button));
        p.drawText(rect().adjusted(5, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, m_text);
    }

private:
    void DrawBitmap() {
        m_bitmap = QPixmap(size());
        QPainter p(&m_bitmap);
        const QColor face = palette().color(QPalette::Button);
        const int w = width();
        const int strip = std::max(1, w / 128);
        for (int x = 0; x < w; x += strip) {
            // A quadratic ramp keeps the left part dark for the caption.
            const double t = double(x) / std::max(1, w);
            const double k = t * t;
            p.fillRect(x, 0, strip, height(),
                       QColor(int(face.red() * k), int(face.green() * k), int(face.blue() * k)));
        }
        QFont big = m_font;
        big.setPixelSize(18);
        p.setFont(big);
        const QRect r = rect().adjusted(0, 0, -4, 0);
        p.setPen(palette().color(QPalette::Light));
        p.drawText(r.translated(1, 1), Qt::AlignRight | Qt::AlignVCenter, m_constant);
        p.setPen(palette().color(QPalette::Dark));
        p.drawText(r, Qt::AlignRight | Qt::AlignVCenter, m_constant);
    }

    QFont m_font;
    QString m_constant;
    QString m_text;
    QPixmap m_bitmap;
};

void CPrefsSubDlg::keyPressEvent(QKeyEvent* event) {
    // Escape belongs to the host's Cancel button, not to the page alone.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

CPrefsDlg::CPrefsDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("Prefs");
}

bool CPrefsDlg::AddPage(CPrefsSubDlg& page, const QString& caption, CPrefsSubDlg* parent) {
    if (m_initialized) return false;
    m_pages.push_back({&page, caption, parent});
    return true;
}

void CPrefsDlg::InitDialog() {
    if (m_initialized) return;
    m_initialized = true;
    setWindowTitle(m_title);
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName("1010");
    m_tree->header()->hide();
    m_tree->setMouseTracking(true); // hot tracking
    m_tree->setMaximumWidth(170);
    m_caption = new CPrefsCaption(this);
    m_caption->SetConstantText(m_constantText);
    m_frame = new QFrame(this);
    m_frame->setObjectName("1004");
    m_frame->setMinimumSize(430, 360);
    auto* frameLayout = new QVBoxLayout(m_frame);
    frameLayout->setContentsMargins(2, 2, 2, 2);

    auto* right = new QVBoxLayout;
    right->addWidget(m_caption);
    right->addWidget(m_frame, 1);
    auto* top = new QHBoxLayout;
    top->addWidget(m_tree);
    top->addLayout(right, 1);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QDialogButtonBox::Ok);
    buttons->addButton(QDialogButtonBox::Cancel);
    QPushButton* help = buttons->addButton(QDialogButtonBox::Help);
    help->setObjectName("1011");
    connect(buttons, &QDialogButtonBox::accepted, this, &CPrefsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CPrefsDlg::reject);
    connect(help, &QPushButton::clicked, this, &CPrefsDlg::OnHelp);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(buttons);

    for (size_t i = 0; i < m_pages.size(); ++i) {
        const Entry& e = m_pages[i];
        auto found = e.parent ? m_items.find(e.parent) : m_items.end();
        auto* item = found != m_items.end() ? new QTreeWidgetItem(found->second)
                                            : new QTreeWidgetItem(m_tree);
        item->setText(0, e.caption);
        item->setData(0, Qt::UserRole, int(i));
        m_items[e.page] = item;
    }
    m_tree->expandAll();
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!item) return;
        const int index = item->data(0, Qt::UserRole).toInt();
        // Queued, as a posted message: the tree finishes its own selection change first.
        QMetaObject::invokeMethod(
            this, [this, index] { ShowPage(index); }, Qt::QueuedConnection);
    });
    int start = 0;
    for (size_t i = 0; i < m_pages.size(); ++i)
        if (m_pages[i].page == m_startPage) start = int(i);
    if (!m_pages.empty()) ShowPage(start);
}

int CPrefsDlg::exec() {
    InitDialog();
    return QDialog::exec();
}

void CPrefsDlg::ShowPage(int index) {
    if (index < 0 || index >= int(m_pages.size()) || index == m_current) return;
    m_caption->SetText(QString());
    if (m_current >= 0 && m_pages[m_current].created) m_pages[m_current].page->hide();
    Entry& e = m_pages[index];
    if (!e.created) {
        e.page->setParent(m_frame);
        e.page->setObjectName(QString::number(e.page->TemplateId()));
        e.page->OnInitDialog();
        m_frame->layout()->addWidget(e.page);
        e.created = true;
    }
    m_current = index;
    e.page->show();
    e.page->setFocus();
    m_caption->SetText(e.caption);
    m_tree->setCurrentItem(m_items[e.page]);
}

void CPrefsDlg::accept() {
    for (size_t i = 0; i < m_pages.size(); ++i) {
        if (!m_pages[i].created) continue;
        if (!m_pages[i].page->Validate()) {
            ShowPage(int(i));
            return;
        }
    }
    for (Entry& e : m_pages)
        if (e.created) e.page->OnOK();
    QDialog::accept();
}

void CPrefsDlg::reject() {
    for (Entry& e : m_pages)
        if (e.created) e.page->OnCancel();
    QDialog::reject();
}

void CPrefsDlg::OnHelp() {
    // Every page shares the one options topic.
    if (CFrameworkApp* app = AfxGetApp()) app->HelpTopic(1);
}
