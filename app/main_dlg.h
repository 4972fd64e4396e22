// The program's only top-level window: a frameless, picture-drawn dialog. Its
// connect screen shows the databases being pulled, its data screen the live
// and deleted records side by side; the user's actions go to the recovery flow
// (app/recovery_flow.h), which pulls, loads and writes on workers of its own
// and tells the window what to show. Every worker is stopped and joined before
// the window goes.
#pragma once

#include <QDialog>
#include <QImage>
#include <QRect>
#include <QTimer>
#include <memory>
#include <string>

#include "app/dialog_hooks.h"
#include "app/recovery_flow.h"
#include "platform/product_identity.h"
#include "skin/skin_image.h"
#include "skin/window_helpers.h"

class QProgressBar;
class QTreeWidgetItem;

namespace skin {
class CImgButton;
class CTreeViewEx1;
class CListViewCheck1;
class CAnimateImg;
class CMyHyperLink;
class CHyperLink;
} // namespace skin

namespace fennaro {

class CContactInfoBoard;
class CMsgInfoBoard;
class FindBar;
class RowSearch;
class ContactDataIndex;
class ConversationIndex;
struct UpdateActions;
struct RecordRow;

// The flow's options (where the helper and the copies lie, the waits) and
// the window's own.
struct MainDlgOptions : FlowOptions {
    // Whether the update check runs one second after the window opens.
    bool armUpdateTimer = true;
};

class CMainDlg : public QDialog {
    Q_OBJECT
  public:
    // Control ids; the buttons report them when clicked.
    static constexpr int IDC_CLOSE = 1000;
    static constexpr int IDC_MINIMIZE = 1001;
    static constexpr int IDC_TREE = 1003;
    static constexpr int IDC_LIST = 1004;
    static constexpr int IDC_PROGRESS = 1005;
    static constexpr int IDC_PAUSE = 1006;
    static constexpr int IDC_STOP = 1007;
    static constexpr int IDC_CONTINUE = 1008;
    static constexpr int IDC_ANIMATE = 1009;
    static constexpr int IDC_RECOVER = 1010;
    static constexpr int IDC_MENU = 1024;
    static constexpr int IDC_HOME = 1029;
    static constexpr int IDC_HELP = 1031;
    static constexpr int IDC_BACK = 1032;
    static constexpr int IDC_REFRESH = 1033;

    // Exit codes: the close button, the window system's close and Exit.
    static constexpr int kClosedByButton = 1000;
    static constexpr int kClosedBySystem = 0;

    static constexpr int kWidth = 984;
    static constexpr int kHeight = 674;
    // The connecting animation's and the failure picture's place.
    static constexpr QRect kAnimationRect{120, 230, 785, 331};

    // Builds the window, its controls and pictures, and starts the first
    // acquisition (the window's initialisation).
    explicit CMainDlg(MainDlgOptions options, DialogHooks hooks = {}, QWidget* parent = nullptr);
    // Stops and joins every worker that still runs.
    ~CMainDlg() override;

    // Carries out a command by control id, as a click on its button does.
    void onCommand(int id);
    // Ends the window with an exit code after the close sequence (the close
    // button, the window system's close and the menu's Exit).
    void closeWith(int result);

    // State, for the tour and the tests.
    // 1: the connect screen, 2: the data screen.
    int screen() const { return m_flow->onDataScreen() ? 2 : 1; }
    // -1: connecting, 0: failed, 1: loading or loaded.
    int loadState() const;
    bool workerRunning() const { return m_flow->workerRunning(); }
    // Whether the data comes from a deep scan (and Back and Refresh repeat it).
    bool deepMode() const { return m_flow->deepMode(); }
    // What is wrong with phone files the failure screen shows; empty for the
    // phone's own failure.
    const QString& failureText() const { return m_flow->failureText(); }
    bool gifTimerRunning() const { return m_gifTimerRunning; }
    const RecordStore& store() const { return m_flow->store(); }
    RecordStore& store() { return m_flow->store(); }
    const LocalDbPaths& localCopies() const { return m_flow->localCopies(); }
    const std::string& outputFolder() const { return m_flow->outputFolder(); }
    int32_t exportTotal() const { return m_flow->exportTotal(); }
    std::string programVersion() const { return kProgramVersion; }

    // Controls, for the tour and the tests.
    skin::CImgButton* button(int id) const;
    skin::CTreeViewEx1* tree() const { return m_tree; }
    QTreeWidgetItem* rootItem() const { return m_rootItem; }
    QTreeWidgetItem* contactsItem() const { return m_contactsItem; }
    QTreeWidgetItem* messageItem() const { return m_messageItem; }
    // Deep mode's third category; hidden unless a deep scan found calls.
    QTreeWidgetItem* callLogItem() const { return m_callLogItem; }
    // Deep mode's every dated message and call, newest first; hidden unless
    // there are such events.
    QTreeWidgetItem* timelineItem() const { return m_timelineItem; }
    QTreeWidgetItem* currentCategory() const { return m_currentCategory; }
    skin::CListViewCheck1* recordList() const { return m_list; }
    QProgressBar* progressBar() const { return m_progress; }
    skin::CAnimateImg* stripAnimation() const { return m_animate; }
    skin::CMyHyperLink* problemsLink() const { return m_problemsLink; }
    // The connect screen's way to open phone files instead of the phone.
    skin::CHyperLink* filesLink() const { return m_filesLink; }
    // The contact board also shows the call log's calls.
    CContactInfoBoard* contactBoard() const { return m_contactBoard; }
    CMsgInfoBoard* messageBoard() const { return m_messageBoard; }
    // The search field above the list and its count.
    FindBar* findBar() const { return m_findBar; }
    // The frame of the connecting animation shown next.
    int gifFrameIndex() const { return m_gifFrameIndex; }

    // Composes the whole window surface as painting does (for the tests).
    QImage composeSurface();

  signals:
    // A worker has ended and the window has handled it (for the tests and
    // the tour, which wait on the flow instead of on the clock).
    void acquireFinished();
    void loadFinished();
    void exportFinished();

  protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    // Escape must not close the window.
    void reject() override {}

  private:
    // Set-up (main_dlg_layout.cpp).
    void setUpWindow();
    void setUpControls();
    skin::CImgButton* addButton(int id, const QString& image, int x, int y, int frames);
    void paintConnectScreen(QPainter& p);
    void paintFailureTexts(QPainter& p);
    // Replaces the failure picture's caption, which speaks of the phone,
    // when phone files failed.
    void paintFilesFailureCaption(QPainter& p);
    // Shows the phone files link under the connect screen's help text, or
    // beside the failure screen's advice.
    void placeFilesLink();
    void onGifTimer();
    void armGifTimer(int ms);

    // What the flow shows and where the user's actions go (main_dlg.cpp).
    FlowPrompts prompts();
    void connectFlow();
    void onRefresh();
    void onPause();
    void onContinue();
    void onUpdateTimer();
    UpdateActions updateActions();
    void showMainMenu();
    void showFailureScreen();
    void stopGifTimer();
    void showLoadingScreen();
    void setProgress(int32_t percent);
    void setCategoryCaption(RecordCategory category, const std::string& caption, int32_t count);
    void showPauseAndStop();
    // Hides the loading screen's animation, progress bar and buttons.
    void hideLoadingControls();
    void onLoadFinished();
    void showLoadedData();
    void resetToConnectScreen();
    void showExportRunning();
    // Drops the rows, the boards and their indexes, which point into the
    // store.
    void clearViews();

    // The record views (main_dlg_records.cpp).
    void populateRecordList();
    void onTreeItemCheck(QTreeWidgetItem* item, int state);
    void onListItemCheck(int row, int state);
    void onListClick(int row);
    // Shows a list row's record on its board, as deep mode or the classic
    // mode holds it.
    void showContactOnBoard(const void* record);
    void showConversationOnBoard(const void* record);
    void showCallOnBoard(const void* record);
    void appendRows(const std::vector<RecordRow>& rows, bool (*checked)(void* record));
    void fillContactRows();
    void fillMessageRows();
    void fillCallRows();
    // Shows the call log's tree item when deep records with calls are
    // loaded, and hides it otherwise.
    void showCallLogItem();
    void recomputeRootCheck();
    void setCategoryChecked(QTreeWidgetItem* item, bool checked);
    void takeLoadedViews();

    // The timeline (main_dlg_timeline.cpp): its rows are views of messages
    // and calls, so their check boxes show and set those records' marks and
    // its own tree box stays checked.
    void fillTimelineRows();
    // Shows the timeline's tree item with its count when the loaded records
    // have dated events, and hides it otherwise.
    void showTimelineItem();
    void showTimelineEvent(void* record);
    void onTimelineCheck(void* record, int state);
    // Gives the timeline's rows their records' marks again.
    void mirrorTimelineChecks();
    // Sets the Message and Call log boxes from their records' marks, once
    // after a run of row changes.
    void syncCategoriesFromTimeline();
    // The search of the list and the boards (main_dlg_find.cpp).
    void setUpFind();
    // Shows the search field, empty, for freshly loaded rows; hides it
    // (shown false) when the rows go.
    void resetFind(bool shown);
    void onFindEdited(const QString& text);
    // F3 / Enter (forward) and Shift+F3 (backward): the next match in the
    // conversation shown, then in the next row.
    void onFindStep(bool forward);
    // Returns the positions among rows of the rows the search lets the list
    // show and puts their count beside the field; null without a search.
    const std::vector<uint32_t>* foundRows(const std::vector<RecordRow>& rows);

    MainDlgOptions m_options;
    DialogHooks m_hooks;

    std::unique_ptr<RecoveryFlow> m_flow;
    bool m_closing = false;
    bool m_gifTimerRunning = false;
    // The frame of the connecting animation shown now, and the next one.
    int m_activeGifFrame = 0;
    int m_gifFrameIndex = 0;

    // Pictures held for the window's life.
    QImage m_mainBg1;
    QImage m_mainBg2;
    QImage m_step1;
    QImage m_contactsImage;
    QImage m_messageImage;
    QImage m_callLogImage;
    QImage m_loadFail;
    skin::AnimatedPicture m_loadData;
    QTimer m_gifTimer;
    QTimer m_updateTimer;
    skin::WindowDragger m_dragger;

    // Controls.
    skin::CImgButton* m_minimize = nullptr;
    skin::CImgButton* m_close = nullptr;
    skin::CImgButton* m_menu = nullptr;
    skin::CImgButton* m_home = nullptr;
    skin::CImgButton* m_help = nullptr;
    skin::CImgButton* m_back = nullptr;
    skin::CImgButton* m_pause = nullptr;
    skin::CImgButton* m_continue = nullptr;
    skin::CImgButton* m_stop = nullptr;
    skin::CImgButton* m_recover = nullptr;
    skin::CImgButton* m_refresh = nullptr;
    skin::CTreeViewEx1* m_tree = nullptr;
    QTreeWidgetItem* m_rootItem = nullptr;
    QTreeWidgetItem* m_contactsItem = nullptr;
    QTreeWidgetItem* m_messageItem = nullptr;
    QTreeWidgetItem* m_callLogItem = nullptr;
    QTreeWidgetItem* m_timelineItem = nullptr;
    bool m_timelineSyncPending = false;
    QTreeWidgetItem* m_currentCategory = nullptr;
    skin::CListViewCheck1* m_list = nullptr;
    QProgressBar* m_progress = nullptr;
    skin::CAnimateImg* m_animate = nullptr;
    skin::CMyHyperLink* m_problemsLink = nullptr;
    skin::CHyperLink* m_filesLink = nullptr;
    CContactInfoBoard* m_contactBoard = nullptr;
    CMsgInfoBoard* m_messageBoard = nullptr;
    std::unique_ptr<ContactDataIndex> m_contactIndex;
    std::unique_ptr<ConversationIndex> m_conversationIndex;
    std::unique_ptr<RecordRows> m_rows;
    FindBar* m_findBar = nullptr;
    std::unique_ptr<RowSearch> m_search;
};

} // namespace fennaro
