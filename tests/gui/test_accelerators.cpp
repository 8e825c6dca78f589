// The main frame's accelerator table against every other key binding of the window, with no,
// one and three image windows open, each state also with the active window maximized.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <set>

#include "editor/ImageDoc.h"
#include "framework/WinApp.h"
#include "shell/MainFrame.h"
#include "shell/Menus.h"
#include "view/ImageView.h"

namespace {

// The program around a real main frame: its command bars and its image windows, without the
// notification area, the hotkeys and the screen (which Create would add).
class KeysHost : public CFrameworkApp, public ImageDocHost, public MainFrameHost {
public:
    KeysHost() : CFrameworkApp("Orvane Screen") {
        // The frame keeps window states in the profile: never the user's.
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        SetMainWnd(&m_frame);
        SetDocManager(std::make_unique<CDocManager>());
        GetDocManager()->AddDocTemplate(std::make_unique<CMultiDocTemplate>(
            129, "\nOrvcap\nOrvcap\n\n\nOrvane Screen.Document\nOrvcap Document",
            [] { return new CTilletCaptureDoc; }, [] { return new CChildFrame; },
            [] { return new CTilletCaptureView; }));
        SetImageDocHost(this);
        m_frame.CreateCommandBars();
        m_frame.resize(900, 700);
    }
    ~KeysHost() override {
        for (CDocument* doc : GetDocManager()->Documents()) doc->OnCloseDocument();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SetImageDocHost(nullptr);
        SetMainWnd(nullptr);
    }
    bool InitInstance() override { return true; }

    // ImageDocHost
    std::unique_ptr<CDisplayPicture> TakePendingImage() override {
        if (!m_pending) m_pending = std::make_unique<CDisplayPicture>();
        return std::move(m_pending);
    }
    QWidget* MainWindow() override { return &m_frame; }
    uint32_t ViewBackgroundColor() override { return 0x00C0C000; }

    // MainFrameHost
    AppSettings& Settings() override { return m_settings; }
    bool HasDocTemplate() override { return true; }
    void SaveSettings() override {}
    bool IsStartedWithSystem() override { return false; }
    void SetStartWithSystem(bool) override {}
    void ClearRecentFileList() override {}
    void OpenNewImage(std::unique_ptr<CDisplayPicture> picture, bool) override {
        m_pending = std::move(picture);
        GetDocManager()->FirstTemplate()->OpenDocumentFile(QString());
    }

    CMainFrame& Frame() { return m_frame; }
    QMdiArea* Area() { return m_frame.MDIClient(); }

    // Opens count image windows, maximizes the last one when asked, and gives the window the
    // keyboard as a user's click would.
    void Open(int count, bool maximized) {
        for (int i = 0; i < count; ++i) {
            auto picture = std::make_unique<CDisplayPicture>();
            picture->Create(40 + i, 30, 32, false);
            OpenNewImage(std::move(picture), false);
        }
        m_frame.show();
        if (QMdiSubWindow* active = Area()->activeSubWindow())
            maximized ? active->showMaximized() : active->showNormal();
        Activate();
    }
    void Activate() {
        m_frame.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_frame));
        if (QMdiSubWindow* sub = Area()->activeSubWindow())
            sub->widget()->setFocus();
        else
            m_frame.setFocus();
        QCoreApplication::processEvents();
    }

private:
    QTemporaryDir m_config;
    AppSettings m_settings;
    CMainFrame m_frame{*this};
    std::unique_ptr<CDisplayPicture> m_pending;
};

struct State {
    int windows;
    bool maximized;
};
const State kStates[] = {{0, false}, {1, false}, {1, true}, {3, false}, {3, true}};

std::string Describe(const State& s) {
    return std::to_string(s.windows) + " window(s)" + (s.maximized ? ", maximized" : "");
}

// Every key of the program's table with the command it stands for.
std::vector<std::pair<QKeySequence, int>> ProgramKeys() {
    std::vector<std::pair<QKeySequence, int>> keys;
    for (int id : AcceleratorCommands())
        for (const QKeySequence& k : CommandShortcuts(id)) keys.emplace_back(k, id);
    return keys;
}

// Whether the toolkit would look at a binding of this widget now: it is shown (a menu counts
// through the bar or menu it hangs in) and, inside an image window, that window is the active
// one.
bool Live(QWidget* w, QMdiArea* area) {
    if (auto* menu = qobject_cast<QMenu*>(w); menu && !menu->isVisible()) {
        for (QObject* o : menu->menuAction()->associatedObjects())
            if (auto* holder = qobject_cast<QWidget*>(o); holder && Live(holder, area)) return true;
        return false;
    }
    if (!w->isVisible()) return false;
    for (QWidget* p = w; p; p = p->parentWidget())
        if (auto* sub = qobject_cast<QMdiSubWindow*>(p)) return sub == area->activeSubWindow();
    return true;
}

// Every key bound in the window now, with what it is bound to.
struct Binding {
    QObject* owner;
    QString what;
};
std::map<QString, std::vector<Binding>> LiveBindings(KeysHost& host) {
    std::map<QString, std::vector<Binding>> bound;
    std::set<QObject*> seen;
    QList<QWidget*> widgets = host.Frame().findChildren<QWidget*>();
    widgets.prepend(&host.Frame());
    for (QWidget* w : widgets) {
        if (!Live(w, host.Area())) continue;
        for (QAction* a : w->actions()) {
            if (!a->isVisible() || !seen.insert(a).second) continue;
            for (const QKeySequence& k : a->shortcuts())
                bound[k.toString(QKeySequence::PortableText)].push_back(
                    {a, QString("action \"%1\" (%2) of %3")
                            .arg(a->text())
                            .arg(a->data().toInt())
                            .arg(w->metaObject()->className())});
        }
    }
    for (QShortcut* s : host.Frame().findChildren<QShortcut*>()) {
        if (!s->isEnabled() || !Live(qobject_cast<QWidget*>(s->parent()), host.Area())) continue;
        for (const QKeySequence& k : s->keys())
            bound[k.toString(QKeySequence::PortableText)].push_back({s, "a QShortcut"});
    }
    return bound;
}

// The toolkit's warnings while keys go in.
QStringList g_messages;
void Collect(QtMsgType, const QMessageLogContext&, const QString& text) {
    g_messages << text;
}

void Press(QWidget* target, const QKeySequence& key) {
    const QKeyCombination c = key[0];
    QTest::keyClick(target, c.key(), c.keyboardModifiers());
}

QWidget* KeyboardTarget(KeysHost& host) {
    QWidget* w = QApplication::focusWidget();
    return w ? w : &host.Frame();
}

} // namespace

// No key of the program's table is bound twice, nor taken by the image windows' own menu or
// the MDI area, in any of the states; and the window menu keeps its items.
TEST(Accelerators, EveryKeyBelongsToItsCommandAlone) {
    // The MDI area cycles windows on Ctrl+Tab and Ctrl+Shift+Tab by itself (a key filter, not
    // a binding): the table must leave those keys to it.
    for (const auto& [key, id] : ProgramKeys())
        for (const char* areaKey : {"Ctrl+Tab", "Ctrl+Shift+Tab", "Ctrl+Backtab"})
            EXPECT_NE(key, QKeySequence(areaKey)) << id;

    for (const State& state : kStates) {
        SCOPED_TRACE(Describe(state));
        KeysHost host;
        host.Open(state.windows, state.maximized);
        ASSERT_EQ(host.Area()->subWindowList().size(), state.windows);
        const auto bound = LiveBindings(host);
        for (const auto& [key, owners] : bound) {
            QStringList names;
            for (const Binding& b : owners) names << b.what;
            EXPECT_EQ(owners.size(), 1u)
                << key.toStdString() << " bound to " << names.join("; ").toStdString();
        }
        for (const auto& [key, id] : ProgramKeys()) {
            const QString name = key.toString(QKeySequence::PortableText);
            auto it = bound.find(name);
            ASSERT_NE(it, bound.end()) << name.toStdString();
            auto* action = qobject_cast<QAction*>(it->second.front().owner);
            ASSERT_NE(action, nullptr) << name.toStdString();
            EXPECT_EQ(action->data().toInt(), id) << name.toStdString();
            EXPECT_EQ(action->parent(), &host.Frame()) << name.toStdString();
        }

        if (state.windows == 0) continue;
        // The active window's own menu: the usual items, Close on a key of its own.
        QMdiSubWindow* sub = host.Area()->activeSubWindow();
        ASSERT_NE(sub->systemMenu(), nullptr);
        QStringList items;
        for (QAction* a : sub->systemMenu()->actions())
            if (!a->isSeparator()) items << QString(a->text()).remove('&');
        EXPECT_EQ(items, QStringList({"Restore", "Move", "Size", "Minimize", "Maximize", "Close"}));
        QAction* close = sub->systemMenu()->actions().last();
        EXPECT_EQ(close->shortcuts(), QList<QKeySequence>{QKeySequence("Ctrl+F4")});
    }
}

// Each key of the table, pressed where the keyboard is, runs its own command once and nothing
// else, and the toolkit reports no ambiguous key.
TEST(Accelerators, EveryKeyReachesItsCommand) {
    for (const State& state : kStates) {
        SCOPED_TRACE(Describe(state));
        KeysHost host;
        host.Open(state.windows, state.maximized);
        // Record what fires instead of running it: the commands themselves open dialogs.
        std::vector<QString> fired;
        for (const auto& [key, owners] : LiveBindings(host))
            for (const Binding& b : owners)
                if (auto* a = qobject_cast<QAction*>(b.owner)) {
                    QObject::disconnect(a, &QAction::triggered, nullptr, nullptr);
                    QObject::connect(a, &QAction::triggered, [&fired, a] {
                        fired.push_back(QString::number(a->data().toInt()) + " " + a->text());
                    });
                }
        for (const auto& [key, id] : ProgramKeys()) {
            SCOPED_TRACE(key.toString().toStdString());
            fired.clear();
            g_messages.clear();
            QtMessageHandler previous = qInstallMessageHandler(Collect);
            Press(KeyboardTarget(host), key);
            qInstallMessageHandler(previous);
            EXPECT_EQ(g_messages.filter("mbiguous").join('\n').toStdString(), "");
            ASSERT_EQ(fired.size(), 1u);
            EXPECT_TRUE(fired.front().startsWith(QString::number(id) + " "))
                << fired.front().toStdString();
            EXPECT_EQ(host.Area()->subWindowList().size(), state.windows);
        }
    }
}

// What the window keys do: Ctrl+W makes an image window from the clipboard, F6 and Shift+F6
// walk the windows forwards and backwards, Ctrl+F4 closes the active one; maximized or not.
TEST(Accelerators, WindowKeysDoTheirWork) {
    QImage picture(21, 13, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QGuiApplication::clipboard()->setImage(picture);
    for (bool maximized : {false, true}) {
        SCOPED_TRACE(maximized ? "maximized" : "normal");
        KeysHost host;
        host.Open(1, maximized);
        QMdiSubWindow* first = host.Area()->activeSubWindow();

        Press(KeyboardTarget(host), QKeySequence("Ctrl+W"));
        ASSERT_EQ(host.Area()->subWindowList().size(), 2);
        QMdiSubWindow* second = host.Area()->activeSubWindow();
        ASSERT_NE(second, first);
        ASSERT_EQ(static_cast<CTilletCaptureDoc*>(host.Frame().GetActiveDocument())
                      ->GetPicture()
                      ->GetWidth(),
                  21);
        Press(KeyboardTarget(host), QKeySequence("Ctrl+W"));
        ASSERT_EQ(host.Area()->subWindowList().size(), 3);
        QMdiSubWindow* third = host.Area()->activeSubWindow();
        host.Activate();

        for (QMdiSubWindow* expected : {first, second, third}) {
            Press(KeyboardTarget(host), QKeySequence("F6"));
            EXPECT_EQ(host.Area()->activeSubWindow(), expected);
        }
        for (QMdiSubWindow* expected : {second, first, third}) {
            Press(KeyboardTarget(host), QKeySequence("Shift+F6"));
            EXPECT_EQ(host.Area()->activeSubWindow(), expected);
        }

        for (CDocument* doc : host.GetDocManager()->Documents()) doc->SetModifiedFlag(false);
        Press(KeyboardTarget(host), QKeySequence("Ctrl+F4"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(host.GetDocManager()->GetOpenDocumentCount(), 2);
    }
}

// The menu bar follows the documents both ways: closing the last image brings back the
// menus for no image (the bar given up for the document menus was deleted under us once).
TEST(Accelerators, MenuBarComesBackAfterTheLastImage) {
    KeysHost host;
    auto titles = [&host] {
        QStringList t;
        for (QAction* a : host.Frame().menuBar()->actions()) t << QString(a->text()).remove('&');
        return t;
    };
    const QStringList none{"File", "Edit", "Capture", "View", "Help"};
    EXPECT_EQ(titles(), none);
    for (bool maximized : {false, true}) {
        host.Open(1, maximized);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(titles(),
                  QStringList({"File", "Edit", "Capture", "Operations", "View", "Window", "Help"}));
        for (CDocument* doc : host.GetDocManager()->Documents()) doc->OnCloseDocument();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(titles(), none);
    }
}

// A new image window starts maximized when the last one closed was maximized (remembered in the
// profile across runs) or when the active one is.
TEST(WindowManagement, NewWindowFollowsTheLastMaximizedState) {
    KeysHost host;
    host.Frame().Create();
    QMdiArea* area = host.Area();
    host.Frame().show();
    auto openOne = [&host] {
        auto picture = std::make_unique<CDisplayPicture>();
        picture->Create(40, 30, 32, false);
        host.OpenNewImage(std::move(picture), false);
        QCoreApplication::processEvents();
    };
    openOne();
    EXPECT_TRUE(area->activeSubWindow()->isMaximized()) << "maximized by default";
    area->activeSubWindow()->showNormal();
    for (CDocument* doc : host.GetDocManager()->Documents()) doc->OnCloseDocument();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    openOne();
    EXPECT_FALSE(area->activeSubWindow()->isMaximized()) << "the last one closed restored";
    area->activeSubWindow()->showMaximized();
    openOne();
    EXPECT_TRUE(area->subWindowList().back()->isMaximized()) << "the active one maximized";
    for (CDocument* doc : host.GetDocManager()->Documents()) doc->OnCloseDocument();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    CRegProfile profile(host.RegNames(), true);
    ASSERT_TRUE(profile.OpenRootReadOnly(RegRoot::CurrentUser));
    profile.SetSection("Settings");
    int stored = -1;
    profile.IntValue("TVChildWinState", stored);
    EXPECT_EQ(stored, 1);
}
