// A text that acts as a web link: link colours, a hand cursor over the label,
// a tooltip with the target, and opening the target on click or Enter/Space.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>

namespace skin {

class CHyperLink : public QWidget {
    Q_OBJECT
  public:
    // Style flags.
    static constexpr std::uint32_t kNoUnderline = 0x1;
    static constexpr std::uint32_t kUnderlineHover = 0x2;
    static constexpr std::uint32_t kCommandButton = 0x4;
    static constexpr std::uint32_t kNotifyButton = 0x8;
    static constexpr std::uint32_t kNoToolTip = 0x40;

    // Builds a link child of parent with the parent's font as normal font.
    explicit CHyperLink(QWidget* parent = nullptr, std::uint32_t flags = 0);

    // Replaces the label and recomputes the clickable area.
    void SetLabel(const QString& label);
    // Replaces the target; without a label the target is what is shown.
    void SetTarget(const QString& target);
    // Replaces the font the label is drawn with.
    void SetLinkFont(const QFont& font);
    // Sets the colour the parent gives as background (invalid: none).
    void SetBackgroundColor(const QColor& c);
    // Returns the size the label takes when drawn.
    QSize IdealSize() const;
    // Opens the target (or tells the parent, with the command flags).
    virtual void Navigate();

    // Returns the label.
    QString Label() const { return label_; }
    // Returns the target.
    QString Target() const { return target_; }
    // Returns whether the link has been opened.
    bool Visited() const { return visited_; }
    // Returns the clickable rectangle.
    QRect LabelRect() const { return labelRect_; }
    // Returns the colour the label is drawn in now.
    QColor TextColor() const;
    // Returns the link colour (0x00BBGGRR).
    std::uint32_t LinkColor() const { return linkColor_; }
    // Returns the visited colour (0x00BBGGRR).
    std::uint32_t VisitedColor() const { return visitedColor_; }

  signals:
    // Sent instead of opening the target with the command flag; with the
    // notify flag too, notifyClicked is sent instead.
    void commandClicked();
    // Sent for a click with the command and notify flags.
    void notifyClicked();

  protected:
    // Opens the link's page for a click; CMyHyperLink opens a fixed page.
    virtual void OnClick() { Navigate(); }

    // Shows the target as tooltip over the label.
    bool event(QEvent* e) override;
    // Draws the label in the link, visited or disabled colour.
    void paintEvent(QPaintEvent* e) override;
    // Takes the focus and starts a click inside the label.
    void mousePressEvent(QMouseEvent* e) override;
    // Completes a click released inside the label.
    void mouseReleaseEvent(QMouseEvent* e) override;
    // Shows the hand cursor over the label and tracks hovering.
    void mouseMoveEvent(QMouseEvent* e) override;
    // Ends hovering when the pointer leaves.
    void leaveEvent(QEvent* e) override;
    // Opens the link on Enter or Space.
    void keyPressEvent(QKeyEvent* e) override;
    // Measures the label again for the new size.
    void resizeEvent(QResizeEvent* e) override;
    // Takes a new font as normal font; repaints on enabling.
    void changeEvent(QEvent* e) override;

    // Marks the link visited and repaints it.
    void MarkVisited();

  private:
    // Returns the text drawn: the label, or the target without one.
    QString ShownText() const;
    // Returns the font the label is drawn with now.
    QFont CurrentFont() const;
    // Measures the label rectangle inside the widget.
    void ComputeLabelRect();

    QString label_;
    QString target_;
    QFont linkFont_;
    QFont normalFont_;
    QRect labelRect_;
    std::uint32_t linkColor_ = 0xFF0000;
    std::uint32_t visitedColor_ = 0x800080;
    std::uint32_t flags_ = 0;
    bool visited_ = false;
    bool hovering_ = false;
    bool pressed_ = false;
    QColor background_;
};

} // namespace skin
