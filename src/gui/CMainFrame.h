#pragma once
// The main window: the node tree (left) and the record list (right) in a splitter, the
// dialog bar with the paging buttons and two texts, the status bar, and every menu with
// its command table. A command from the main menu or the dialog bar goes to the active
// pane (the one that last had the focus) when its handler lives in a pane, so such items
// are greyed while the other pane is active; the right-click menus go straight to the
// pane that opened them.

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class QAction;
class QCloseEvent;
class QTimer;
class QLabel;
class QMenu;
class QPushButton;
class QSplitter;

namespace korvel {

class ChangeWatch;
class CLeftView;
class Session;
class COstrelView;
class ContentHitsView;
class SearchBox;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    enum class Pane { Frame, Tree, List };
    enum class Origin { MainMenu, NodeMenu, RecordMenu, DialogBar };

    explicit CMainFrame(Session& session, QWidget* parent = nullptr);
    Session& session() const { return s_; }
    ~CMainFrame() override;

    CLeftView* leftView() const { return leftView_; }
    COstrelView* listView() const { return listView_; }
    QMenu* nodeMenu() const { return nodeMenu_; }
    QMenu* recordMenu() const { return recordMenu_; }
    QLabel* pageText() const { return pageText_; }
    QLabel* tagsText() const { return tagsText_; }
    // Status bar: the open catalogue's folder, and the number of records listed.
    QLabel* folderText() const { return folderText_; }
    QLabel* countText() const { return countText_; }
    QSplitter* splitter() const { return splitter_; }
    SearchBox* searchBox() const { return searchBox_; }
    ContentHitsView* hitsView() const { return hitsView_; }
    // Looks whether the catalogue changed (the live-state timer does, twice a second):
    // another program's change lists the page on show again, keeping selection and
    // scroll; this program's own changes update the record count.
    void PollCatalogue();
    // A short explanation in the status bar (why a key did nothing).
    void Explain(const QString& text);
    // Writes size, position and splitter position to section "window" of config.cnf
    // (also done when the window closes).
    void SaveLayout();
    // Paging button by its id (1007 "<<", 1008 "<", 1009 ">", 1010 ">>").
    QPushButton* pageButton(int id) const;

    // The action of the main menu, the node menu or the record menu that carries id.
    QAction* FindAction(int id, Origin origin) const;

    Pane ActivePane() const { return activePane_; }
    void SetActivePane(Pane pane);

    // Runs the handler of command id as coming from origin (if it is enabled there).
    void Dispatch(int id, Origin origin);
    bool IsCommandEnabled(int id, Origin origin) const;
    // Enables, greys and checks every item and paging button.
    void UpdateCommandStates();

    // Expands every node of the tree and opens node id (start-up hook for looking at the
    // window without driving the mouse).
    void ExpandAllAndOpen(const QString& id);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Session& s_;
    struct Command {
        Pane pane = Pane::Frame;
        std::function<void()> run;  // empty: no handler yet, the item stays greyed
        QString flagKey;            // option flags: the settings key shown as a check mark
    };

    void Register(std::initializer_list<int> ids, Pane pane, std::function<void()> run,
                  const QString& flagKey = QString());
    void RegisterCommands();
    void BuildMainMenu();
    void BuildPopupMenus();
    QWidget* BuildDialogBar();
    void BuildStatusBar();
    QAction* AddItem(QMenu* menu, int id, const QString& text, Origin origin);
    int Primary(int id) const;
    void UpdateDialogBar();
    // The keys of the commands (after the menus exist, so the items show them).
    void BindKeys();
    // The saved size, position and splitter position, when a screen can show them.
    void RestoreLayout();

    QWidget* BuildSearchBar();
    // The search box: narrowing the opened node, and the content search of Enter.
    void OnSearchFilter(const QString& text);
    void OnSearchContent(const QString& text);
    // A paging key, whichever pane has the focus.
    void OnPageKey(int id);
    void ReloadKeepingView();

    void OnPageSet();
    void OnLanguageSet();
    void OnFilterSet(int mode);
    void OnAddRecTree();
    void OnAbout();

    CLeftView* leftView_ = nullptr;
    COstrelView* listView_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QMenu* nodeMenu_ = nullptr;
    QMenu* recordMenu_ = nullptr;
    QLabel* pageText_ = nullptr;
    QLabel* tagsText_ = nullptr;
    QLabel* folderText_ = nullptr;
    QLabel* countText_ = nullptr;
    SearchBox* searchBox_ = nullptr;
    ContentHitsView* hitsView_ = nullptr;
    QTimer* liveTimer_ = nullptr;
    std::unique_ptr<ChangeWatch> watch_;
    std::map<int, QPushButton*> pageButtons_;
    Pane activePane_ = Pane::Tree;

    std::map<int, Command> commands_;  // by primary id
    std::map<int, int> primaryOf_;     // every id -> primary id
    std::vector<std::pair<QAction*, Origin>> actions_;
};

}  // namespace korvel
