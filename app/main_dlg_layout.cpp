// The main window's look: the frameless rounded window, every control at its
// place with its pictures, the two screens' painting and the connecting
// animation.
#include <QFontMetrics>
#include <QPainter>
#include <QProgressBar>
#include <QTreeWidgetItem>

#include "app/main_dlg.h"
#include "records/timeline.h"
#include "skin/animate_img.h"
#include "skin/font_pool.h"
#include "skin/hyper_link.h"
#include "skin/image_path.h"
#include "skin/img_button.h"
#include "skin/list_view_check1.h"
#include "skin/my_hyper_link.h"
#include "skin/tree_view_ex1.h"
#include "skin/ui_helpers.h"

namespace fennaro {

namespace {

// The failure screen's advice, below the failure picture.
constexpr const char* kFailureHeadline = "Cannot load data from Android Phone, please : ";
// The connect screen's way to phone files instead of the phone.
constexpr const char* kFilesLinkLabel = "Open phone files instead (a folder or an archive)\u2026";
// Where the link sits: centred under the help text at the bottom of the
// connecting picture; on the failure screen, on the headline's line, on the
// right, clear of the advice below.
constexpr int kFilesLinkTop = 572;
constexpr int kFilesLinkFailedTop = 568;
constexpr int kFilesLinkFailedRight = 954;
constexpr const char* kFailureLines[] = {
    "1. Be sure you've installed the drive of your device",
    "2. Make sure device enables USB Debugging(Setting >> Applications >> Development >> USB "
    "debugging).",
    "3. Make sure you've got ROOT access on your Android phone.",
};

// Draws one line of text with its top-left corner at (x, y).
void drawTextAt(QPainter& p, int x, int y, const QString& text) {
    const QFontMetrics metrics(p.font());
    p.drawText(QRect(x, y, metrics.horizontalAdvance(text) + 2, metrics.height()),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

} // namespace

void CMainDlg::setUpWindow() {
    setWindowTitle(QString::fromUtf8(kProductName));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(kWidth, kHeight);
    // The surface is painted whole every time; nothing needs erasing.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_mainBg1 = skin::LoadSkinImage(QStringLiteral("mainbg1.png"));
    m_mainBg2 = skin::LoadSkinImage(QStringLiteral("mainbg2.png"));
    m_step1 = skin::LoadSkinImage(QStringLiteral("step1.png"));
    skin::ApplyRoundedShape(this);
    move(skin::CenteredPosition(size(), parentWidget()));
}

skin::CImgButton* CMainDlg::addButton(int id, const QString& image, int x, int y, int frames) {
    auto* b = new skin::CImgButton(this, id);
    b->Init(skin::MakeImagePath(image), x, y, frames);
    connect(b, &skin::CImgButton::commandClicked, this, &CMainDlg::onCommand);
    return b;
}

void CMainDlg::setUpControls() {
    m_problemsLink = new skin::CMyHyperLink(this);
    m_problemsLink->SetLinkFont(skin::get_font(QStringLiteral("Arial"), 16, 400));
    m_problemsLink->SetLabel(QStringLiteral("Have Problems?"));
    m_problemsLink->SetTarget(QString::fromUtf8(skin::kSupportPageUrl));
    const QFontMetrics linkMetrics(skin::get_font(QStringLiteral("Arial"), 16, 400));
    m_problemsLink->setGeometry(470, 630, linkMetrics.horizontalAdvance("Have Problems?") + 2,
                                linkMetrics.height());
    m_problemsLink->hide();

    m_filesLink =
        new skin::CHyperLink(this, skin::CHyperLink::kCommandButton | skin::CHyperLink::kNoToolTip);
    m_filesLink->SetLinkFont(skin::get_font(QStringLiteral("Arial"), 16, 400));
    m_filesLink->SetLabel(QString::fromUtf8(kFilesLinkLabel));
    m_filesLink->resize(m_filesLink->IdealSize());
    connect(m_filesLink, &skin::CHyperLink::commandClicked, this,
            [this] { m_flow->openPhoneFilesCommand(); });
    placeFilesLink();

    m_contactsImage = skin::LoadSkinImage(QStringLiteral("contacts.png"));
    m_messageImage = skin::LoadSkinImage(QStringLiteral("message.png"));
    m_callLogImage = skin::LoadSkinImage(QStringLiteral("calllog.png"));
    m_loadData = skin::LoadAnimatedPicture(skin::MakeImagePath(QStringLiteral("loaddata.gif")));
    m_loadFail = skin::LoadSkinImage(QStringLiteral("loadfail.png"));

    m_minimize = addButton(IDC_MINIMIZE, "min.png", -29, 5, 4);
    m_close = addButton(IDC_CLOSE, "close.png", -8, 5, 4);
    m_menu = addButton(IDC_MENU, "menu.png", -50, 5, 3);
    m_home = addButton(IDC_HOME, "btn_home.png", -120, 5, 4);
    m_help = addButton(IDC_HELP, "btn_help.png", -90, 5, 4);
    m_back = addButton(IDC_BACK, "back.png", 20, -20, 3);
    m_pause = addButton(IDC_PAUSE, "pause.png", -92, -20, 4);
    m_continue = addButton(IDC_CONTINUE, "continue.png", -92, -20, 4);
    m_stop = addButton(IDC_STOP, "stop.png", -20, -20, 4);
    m_recover = addButton(IDC_RECOVER, "recover.png", -30, -20, 3);
    m_refresh = addButton(IDC_REFRESH, "refresh.png", -30, -35, 3);
    for (skin::CImgButton* b : {m_back, m_pause, m_continue, m_stop, m_recover, m_refresh})
        b->hide();

    m_tree = new skin::CTreeViewEx1(this);
    m_tree->Init();
    m_tree->SetShowSelAlways(true);
    m_tree->setGeometry(1, 32, 221, 577);
    m_tree->hide();
    m_rootItem = m_tree->InsertRootItem(QStringLiteral("android phone"));
    m_contactsItem =
        m_tree->InsertItem(m_rootItem, 0, QStringLiteral("Contacts"), &m_contactsImage);
    m_messageItem = m_tree->InsertItem(m_rootItem, 1, QStringLiteral("Message"), &m_messageImage);
    // The call log is read in deep mode only; its row shows once calls are.
    m_callLogItem = m_tree->InsertItem(m_rootItem, 2, QStringLiteral("Call log"), &m_callLogImage);
    m_callLogItem->setHidden(true);
    // Every dated message and call of deep mode, newest first.
    m_timelineItem = m_tree->InsertItem(m_rootItem, 3, QStringLiteral("Timeline"), &m_messageImage);
    m_timelineItem->setHidden(true);
    m_rootItem->setExpanded(true);
    connect(m_tree, &skin::CTreeViewEx1::treeItemCheck, this, &CMainDlg::onTreeItemCheck);
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] { populateRecordList(); });

    m_list = new skin::CListViewCheck1(this);
    m_list->SetRowHeight(30);
    m_list->Create(this, QRect(QPoint(225, 32), QPoint(747, 575)), IDC_LIST);
    m_list->Init();
    m_list->SetDeletedTest([this](const void* record, int listKind) {
        if (record == nullptr)
            return false;
        if (listKind == 4)
            return static_cast<const TimelineEvent*>(record)->deleted;
        if (store().deep.loaded) {
            // A row holding anything deleted carries a mark: a deleted
            // record the trash mark, a live one with deleted parts a badge.
            if (listKind == 1)
                return deep::rowState(*static_cast<const deep::DeepContact*>(record)) !=
                       deep::RowState::Live;
            if (listKind == 2)
                return deep::rowState(*static_cast<const deep::DeepConversation*>(record)) !=
                       deep::RowState::Live;
            if (listKind == 3)
                return static_cast<const deep::CallRecord*>(record)->deleted;
            return false;
        }
        if (listKind == 1)
            return static_cast<const ContactNode*>(record)->deleted != 0;
        if (listKind == 2)
            return static_cast<const ThreadNode*>(record)->deleted != 0;
        return false;
    });
    m_list->SetDeletedPartsTest([this](const void* record, int listKind) {
        if (record == nullptr || !store().deep.loaded)
            return 0;
        if (listKind == 1)
            return int(deep::deletedPartCount(*static_cast<const deep::DeepContact*>(record)));
        const auto* conversation = static_cast<const deep::DeepConversation*>(record);
        if (listKind == 2)
            return int(deep::deletedPartCount(*conversation));
        return 0;
    });
    m_list->hide();
    connect(m_list, &skin::CListViewCheck1::listItemCheck, this, &CMainDlg::onListItemCheck);
    connect(m_list, &skin::CListViewCheck1::itemClicked, this, &CMainDlg::onListClick);

    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setGeometry(42, 639, 730, 20);
    m_progress->hide();

    m_animate = new skin::CAnimateImg(this);
    m_animate->SetPeriod(100);
    m_animate->Load(skin::MakeImagePath(QStringLiteral("animate.png")));
    m_animate->SetFrames();
    m_animate->MoveTo(20, 641, skin::CAnimateStaticBase::kMoveHide);

    setUpFind();

    m_gifTimer.setSingleShot(true);
    connect(&m_gifTimer, &QTimer::timeout, this, &CMainDlg::onGifTimer);
}

QImage CMainDlg::composeSurface() {
    QImage canvas(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainter p(&canvas);
    if (screen() == 1 && !m_mainBg1.isNull())
        paintConnectScreen(p);
    else if (!m_mainBg2.isNull())
        p.drawImage(0, 0, m_mainBg2);
    return canvas;
}

void CMainDlg::paintConnectScreen(QPainter& p) {
    p.drawImage(0, 0, m_mainBg1);
    if (m_step1.isNull())
        return;
    p.drawImage(1, 74, m_step1);
    if (loadState() == -1) {
        if (!m_loadData.frames.empty()) {
            const size_t frame = static_cast<size_t>(m_activeGifFrame) % m_loadData.frames.size();
            p.drawImage(kAnimationRect, m_loadData.frames[frame]);
            if (!m_gifTimerRunning)
                armGifTimer(80);
        }
    } else if (loadState() == 0) {
        if (!m_loadFail.isNull())
            p.drawImage(kAnimationRect, m_loadFail);
        if (!m_flow->failureText().isEmpty())
            paintFilesFailureCaption(p);
        paintFailureTexts(p);
    }
}

void CMainDlg::placeFilesLink() {
    if (m_flow->onDataScreen()) {
        m_filesLink->hide();
        return;
    }
    const int width = m_filesLink->width();
    if (loadState() == 0)
        m_filesLink->move(kFilesLinkFailedRight - width, kFilesLinkFailedTop);
    else
        m_filesLink->move(kAnimationRect.center().x() - width / 2, kFilesLinkTop);
    m_filesLink->show();
}

void CMainDlg::paintFilesFailureCaption(QPainter& p) {
    // The failure picture's caption speaks of the phone and its cable: for
    // phone files it is painted over, in the picture's own background.
    const QRect caption(kAnimationRect.left() + 10, kAnimationRect.top() + 266,
                        kAnimationRect.width() - 20, 54);
    p.save();
    if (!m_loadFail.isNull())
        p.fillRect(caption, m_loadFail.pixelColor(20, 280));
    p.setFont(skin::get_font(QStringLiteral("Arial"), 18, 700));
    p.setPen(QColor(189, 58, 6));
    p.drawText(caption.adjusted(0, 4, 0, -26), Qt::AlignCenter,
               QStringLiteral("The phone's files could not be opened"));
    p.setFont(skin::get_font(QStringLiteral("Arial"), 13, 400));
    p.setPen(QColor(90, 100, 110));
    p.drawText(caption.adjusted(0, 30, 0, 0), Qt::AlignCenter,
               QStringLiteral("What is wrong with them is said below; Refresh reads them again."));
    p.restore();
}

void CMainDlg::paintFailureTexts(QPainter& p) {
    p.save();
    p.setFont(skin::PoolFontOr(512));
    p.setPen(QColor(189, 58, 6));
    const QString problem = m_flow->failureText();
    if (!problem.isEmpty()) {
        // Phone files that could not be opened: what is wrong with them,
        // the headline first, then the reason wrapped below it.
        const qsizetype lineEnd = problem.indexOf(QLatin1Char('\n'));
        // A long name is shortened in its middle rather than run under the
        // link beside it.
        const int room = m_filesLink->x() - 100 - 16;
        drawTextAt(p, 100, 570,
                   QFontMetrics(p.font()).elidedText(problem.left(lineEnd), Qt::ElideMiddle, room));
        p.setFont(skin::PoolFontOr(256));
        p.setPen(QColor(10, 0, 0));
        p.drawText(QRect(120, 590, 480, 60), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   lineEnd < 0 ? QString() : problem.mid(lineEnd + 1));
        p.restore();
        return;
    }
    drawTextAt(p, 100, 570, QString::fromUtf8(kFailureHeadline));
    p.setFont(skin::PoolFontOr(256));
    p.setPen(QColor(10, 0, 0));
    int y = 590;
    for (const char* line : kFailureLines) {
        drawTextAt(p, 120, y, QString::fromUtf8(line));
        y += 20;
    }
    p.restore();
}

void CMainDlg::paintEvent(QPaintEvent*) {
    const QImage canvas = composeSurface();
    {
        QPainter screen(this);
        screen.drawImage(0, 0, canvas);
    }
    // The picture buttons draw themselves over the pixels under them.
    for (skin::CImgButton* b : {m_minimize, m_close, m_menu, m_home, m_help, m_refresh})
        b->CaptureBackground(canvas, b->x(), b->y());
    if (screen() == 2)
        for (skin::CImgButton* b : {m_back, m_recover, m_pause, m_continue, m_stop})
            b->CaptureBackground(canvas, b->x(), b->y());
}

void CMainDlg::armGifTimer(int ms) {
    m_gifTimerRunning = true;
    m_gifTimer.start(ms);
}

void CMainDlg::onGifTimer() {
    if (!m_gifTimerRunning)
        return;
    m_gifTimerRunning = false;
    const int frames = static_cast<int>(m_loadData.frames.size());
    // A still picture stays still.
    if (frames <= 1)
        return;
    m_activeGifFrame = m_gifFrameIndex % frames;
    m_gifFrameIndex = (m_activeGifFrame + 1) % frames;
    update(kAnimationRect);
    // The frame shown at the next tick stays up for its own delay.
    armGifTimer(std::max(10, m_loadData.delaysMs[static_cast<size_t>(m_gifFrameIndex)]));
}

} // namespace fennaro
