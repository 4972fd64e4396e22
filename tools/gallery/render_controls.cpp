#include "render.h"

#include "skin/animate_img.h"
#include "skin/bubble_frame.h"
#include "skin/font_pool.h"
#include "skin/hyper_link.h"
#include "skin/image_path.h"
#include "skin/img_button.h"
#include "skin/list_view_check1.h"
#include "skin/skin_image.h"
#include "skin/text_draw.h"
#include "skin/tree_view_ex1.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>
#include <QUrl>
#include <QWidget>

namespace gallery {

using namespace skin;

void Shots::Save(QWidget& w, const QString& name) {
    const QString path = outDir + "/" + name + ".png";
    if (w.grab().save(path))
        written << path;
    else
        ++failures;
}

namespace {

// A plain record for the gallery's list rows.
struct GalleryRecord {
    bool deleted = false;
};

// Renders one button strip in its four states on a tinted backdrop.
void RenderButton(Shots& shots, const QString& file) {
    QWidget parent;
    parent.resize(120, 60);
    CImgButton b(&parent);
    b.Init(MakeImagePath(file), 10, 10, 4);
    QImage backdrop(parent.size(), QImage::Format_ARGB32_Premultiplied);
    backdrop.fill(QColor(60, 110, 170));
    b.CaptureBackground(backdrop, b.x(), b.y());
    const QString stem = "button_" + file.chopped(4);
    shots.Save(b, stem + "_normal");
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(&b, &enter);
    shots.Save(b, stem + "_hover");
    b.setDown(true);
    shots.Save(b, stem + "_pressed");
    b.setDown(false);
    b.setEnabled(false);
    shots.Save(b, stem + "_disabled");
}

// Renders the record list with contact rows, then with message rows.
void RenderList(Shots& shots) {
    static GalleryRecord records[8];
    QWidget parent;
    parent.resize(520, 330);
    CListViewCheck1 list;
    list.SetRowHeight(30);
    list.Create(&parent, QRect(0, 0, 507, 320), 1004);
    list.Init();
    list.SetDeletedTest(
        [](const void* r, int) { return static_cast<const GalleryRecord*>(r)->deleted; });
    for (auto [title, width] :
         {std::pair{"Name", 150}, {"Phone", 170}, {"Company", 180}, {"Email", 150}})
        list.InsertColumn(list.Header()->count(), title, width);
    const char* rows[][4] = {
        {"Ann Deleted", "555 0101", "", ""},
        {"Zed Gone", "555 0199", "", ""},
        {"Bob Live", "+1 202 555 0147", "Quillmet", "bob@example.org"},
        {"Carla With A Rather Long Name That Does Not Fit", "555 0123",
         "Far Too Long Company "
         "Name Incorporated",
         "carla.with.a.long.address@example.org"},
        {"Dan", "", "", ""},
        {"Eve", "555 0175", "Acme", "eve@example.org"},
    };
    for (int i = 0; i < 6; ++i) {
        records[i].deleted = i < 2;
        const int row = list.InsertItem(i, rows[i][0]);
        for (int c = 1; c < 4; ++c)
            list.SetItemText(row, c, rows[i][c]);
        list.SetItem(row, 0, CListViewCheck1::LVIF_PARAM, QString(), &records[i]);
        list.SetCheckState(row, i % 3 != 1);
    }
    list.SetListKind(1);
    list.SelectRow(3);
    parent.show();
    shots.Save(list, "list_contacts");
    list.OnColumnClick(0);
    shots.Save(list, "list_sorted_ascending");
    list.OnColumnClick(0);
    shots.Save(list, "list_sorted_descending");
    list.OnHeaderCheckAll(1);
    shots.Save(list, "list_all_checked");
    list.DeleteAllItems();
    list.DeleteAllColumns();
    list.InsertColumn(0, "Name", 220);
    list.InsertColumn(1, "Phone", 276);
    for (int i = 0; i < 3; ++i) {
        records[6 + (i % 2)].deleted = i == 0;
        const int row = list.InsertItem(i, i == 0 ? "Deleted Sender" : "Fay");
        list.SetItemText(row, 1, "555 01" + QString::number(40 + i));
        list.SetItem(row, 0, CListViewCheck1::LVIF_PARAM, QString(), &records[6 + (i % 2)]);
        list.SetCheckState(row, true);
    }
    list.SetListKind(2);
    list.resize(497, 200);
    shots.Save(list, "list_messages");
    list.DeleteAllItems();
    shots.Save(list, "list_empty");
}

// Renders the category tree with available, unavailable and selected rows.
void RenderTree(Shots& shots) {
    const QImage contactsImage = LoadSkinImage("contacts.png");
    const QImage messageImage = LoadSkinImage("message.png");
    CTreeViewEx1 tree;
    tree.resize(221, 140);
    tree.Init();
    QTreeWidgetItem* root = tree.InsertRootItem("android phone");
    QTreeWidgetItem* contacts = tree.InsertItem(root, 0, "Contacts", &contactsImage);
    QTreeWidgetItem* messages = tree.InsertItem(root, 1, "Message", &messageImage);
    tree.expandItem(root);
    tree.show();
    shots.Save(tree, "tree_empty_categories");
    QString caption("Contacts (12)");
    tree.SetItemInfo(&caption, contacts, 12);
    caption = "Message (0)";
    tree.SetItemInfo(&caption, messages, 0);
    tree.SetCheckState(root, 0x2000);
    tree.SetCheckState(contacts, 0x2000);
    shots.Save(tree, "tree_checked");
    tree.SetShowSelAlways(true);
    tree.setCurrentItem(contacts);
    shots.Save(tree, "tree_selected");
    caption = "Message (3)";
    tree.SetItemInfo(&caption, messages, 3);
    tree.SetCheckState(root, 0x1000);
    tree.collapseItem(root);
    shots.Save(tree, "tree_collapsed");
}

// Renders every frame of the busy animation.
void RenderAnimation(Shots& shots) {
    QWidget parent;
    parent.resize(100, 100);
    CAnimateImg anim(&parent);
    anim.Load(MakeImagePath("animate.png"));
    anim.SetFrames();
    anim.MoveTo(0, 0, CAnimateStaticBase::kMoveShow);
    anim.Start();
    for (int i = 0; i < anim.FrameCount(); ++i) {
        shots.Save(anim, QString("animate_frame_%1").arg(anim.CurrentFrame()));
        QTimerEvent tick(anim.TimerId());
        QCoreApplication::sendEvent(&anim, &tick);
    }
    anim.Stop();
}

// Takes the addresses links open, so the gallery never starts a browser.
class UrlSink : public QObject {
    Q_OBJECT
  public slots:
    // Accepts an address and does nothing with it.
    void open(const QUrl&) {}
};

// Renders a link unvisited, visited and disabled.
void RenderLinks(Shots& shots) {
    UrlSink sink;
    QDesktopServices::setUrlHandler("https", &sink, "open");
    QWidget parent;
    parent.resize(300, 40);
    CHyperLink link(&parent);
    link.SetLabel("Have Problems?");
    link.SetTarget("https://www.quillmet.example/support");
    link.SetBackgroundColor(QColor(238, 244, 248));
    link.resize(link.IdealSize());
    shots.Save(link, "link_normal");
    link.Navigate();
    shots.Save(link, "link_visited");
    link.setEnabled(false);
    shots.Save(link, "link_disabled");
    QDesktopServices::unsetUrlHandler("https");
}

// A panel that paints received and sent bubbles of several sizes.
class BubblePanel : public QWidget {
  protected:
    // Paints the bubbles with their fill and body text.
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(244, 247, 250));
        p.setFont(PoolFontOr(256));
        struct Bubble {
            QRect r;
            int kind;
            const char* text;
        } bubbles[] = {
            {QRect(10, 10, 120, 50), kBubbleReceived, "Hello"},
            {QRect(90, 70, 135, 66), kBubbleSent, "On my way, see you in ten minutes"},
            {QRect(10, 150, 30, 50), kBubbleReceived, ""},
            {QRect(195, 150, 30, 50), kBubbleSent, ""},
            {QRect(10, 210, 215, 90), kBubbleReceived,
             "A longer received message that wraps over several lines of the bubble."},
        };
        for (const Bubble& b : bubbles) {
            DrawBubbleFrame(p, b.r.left(), b.r.top(), b.r.right() + 1, b.r.bottom() + 1, b.kind);
            const QRect inner =
                BubbleInnerRect(b.r.left(), b.r.top(), b.r.right() + 1, b.r.bottom() + 1, b.kind);
            p.fillRect(inner,
                       b.kind == kBubbleReceived ? QColor(216, 216, 216) : QColor(136, 193, 33));
            p.setPen(Qt::black);
            DrawWrappedText(p, inner, b.text, Qt::AlignLeft, false);
        }
    }
};

} // namespace

void RenderControls(Shots& shots) {
    for (const char* file : {"ok.png", "yes.png", "no.png", "cancel.png", "close.png"})
        RenderButton(shots, file);
    RenderList(shots);
    RenderTree(shots);
    RenderAnimation(shots);
    RenderLinks(shots);
    BubblePanel bubbles;
    bubbles.resize(235, 310);
    shots.Save(bubbles, "bubbles");
}

} // namespace gallery

#include "render_controls.moc"
