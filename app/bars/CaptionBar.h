// The caption bar: a message bar between the ribbon and the windows, with an
// image, a text, an optional button and (as a message bar) a close box. Its
// layout is computed in whole pixels by LayOutElements from the state below,
// and drawn and hit-tested from the rectangles that it leaves.
//
// The frame side: at most one bar exists; every message replaces it
// (CCaptionBarController).
#pragma once

#include <QBoxLayout>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <vector>

enum CaptionAlignment : int {
    CaptionAlignLeft = 1,
    CaptionAlignRight = 2,
    CaptionAlignCenter = 3,
};

class CMyCaptionBar : public QWidget {
    Q_OBJECT
public:
    // Spacing of the bar: margin M, gap between elements G, border size B
    // (below the client area), and the close glyph's size.
    static constexpr int kMargin = 4;
    static constexpr int kElementGap = 6;
    static constexpr int kBorderSize = 1;
    static constexpr int kCloseGlyph = 8;

    // A bar in message-bar mode has a close box at its right end and extra margins.
    explicit CMyCaptionBar(bool messageBarMode, QWidget* parent = nullptr);

    // --- State; nothing is laid out until LayOutElements (or a resize) ---------
    // An image of `size` drawn with `transparent` (when valid) left out;
    // stretched, it takes the bar's height less the margins.
    void SetBitmap(const QIcon& image, QSize size, const QColor& transparent, bool stretch, int alignment);
    void RemoveBitmap();
    void SetImageToolTip(const QString& title, const QString& description);
    void SetText(const QString& text, int alignment);
    // An empty caption removes the button; a click on it emits buttonClicked(commandId).
    void SetButton(const QString& caption, int commandId, int alignment, bool hasDropDownArrow);
    // -1: the layout computes the height.
    void SetDefaultHeight(int height) { m_nDefaultHeight = height; }

    bool IsMessageBarMode() const { return m_bMessageBarMode; }
    bool HasImage() const { return !m_image.isNull(); }
    QString Text() const { return m_strText; }
    QString ButtonCaption() const { return m_strButton; }
    QString ImageToolTipTitle() const { return m_strImageTipTitle; }
    QString ImageToolTipDescription() const { return m_strImageTipDescription; }

    // --- Layout and its results -------------------------------------------------
    void LayOutElements();
    int CurrentHeight() const { return m_nCurrentHeight; }
    QRect ImageRect() const { return m_rectImage.ToQRect(); }
    QRect TextRect() const { return m_rectText.ToQRect(); }
    QRect DrawnTextRect() const { return m_rectDrawText.ToQRect(); }
    QRect ButtonRect() const { return m_rectButton.ToQRect(); }
    QRect CloseRect() const { return m_rectClose.ToQRect(); }
    bool IsTextTruncated() const { return m_bTextIsTruncated; }
    // The tooltip shown at `pos` (empty where none is): the image's title and
    // description, the whole text where it is cut.
    QString ToolTipAt(QPoint pos) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The close box was clicked; the bar has hidden itself.
    void closeClicked();
    void buttonClicked(int commandId);
    // The bar became visible on the screen (not merely flagged to be shown
    // inside a window that is not shown yet).
    void shown();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // A rectangle as the layout computes it: right and bottom exclusive.
    struct Box {
        int left = 0, top = 0, right = 0, bottom = 0;
        int Width() const { return right - left; }
        int Height() const { return bottom - top; }
        bool IsEmpty() const { return right <= left || bottom <= top; }
        bool Contains(QPoint p) const { return p.x() >= left && p.x() < right && p.y() >= top && p.y() < bottom; }
        QRect ToQRect() const { return IsEmpty() ? QRect() : QRect(left, top, Width(), Height()); }
    };
    enum class Part { None, Close, Button };

    Box ClientBox() const;
    Part PartAt(QPoint pos) const;
    void RefreshToolTips();
    QPixmap ImagePixmap(QSize size) const;

    const bool m_bMessageBarMode;
    QIcon m_image;
    QSize m_imageSize;
    QColor m_clrTransparent;
    bool m_bStretchImage = false;
    int m_nImageAlign = CaptionAlignLeft;
    QString m_strImageTipTitle;
    QString m_strImageTipDescription;
    QString m_strText;
    int m_nTextAlign = CaptionAlignLeft;
    QString m_strButton;
    int m_nButtonId = 0;
    int m_nButtonAlign = CaptionAlignLeft;
    bool m_bButtonMenuArrow = false;
    int m_nDefaultHeight = -1;

    int m_nCurrentHeight = 0;
    Box m_rectMessage;  // the client area less the close box, where the message is drawn
    Box m_rectImage;
    Box m_rectText;
    Box m_rectDrawText;
    Box m_rectButton;
    Box m_rectClose;
    bool m_bTextIsTruncated = false;
    std::vector<std::pair<Box, QString>> m_toolTips;

    Part m_hot = Part::None;
    Part m_pressed = Part::None;
};

// The frame's handling of its caption bar: the bar lives in `slot` (the
// frame's layout between the ribbon and the windows) at `index`, at most one
// exists, and every message destroys the old bar and creates a new one, so no
// message inherits another's elements. The frame owns the controller; the bar
// goes with it.
class CCaptionBarController : public QObject {
    Q_OBJECT
public:
    CCaptionBarController(QWidget* frame, QBoxLayout* slot, int index = 0);
    ~CCaptionBarController() override;

    // Destroys the bar, if any, and creates a new, empty, visible one in
    // message-bar mode. True when the new bar exists.
    bool RecreateCaptionBar();
    // The welcome message in a new bar, shown.
    void ShowCaptionMessage();
    // Shows a hidden bar and hides a shown one; does nothing without a bar.
    void ToggleCaptionBar();
    // Whether a bar exists and is not hidden (its toggle's check state).
    bool IsCaptionBarVisible() const;
    CMyCaptionBar* CaptionBar() const { return m_pCaptionBar; }

signals:
    // A bar became visible on the screen; the frame marks the welcome as seen then.
    void captionBarShown();

private:
    void RelayoutFrame();

    QWidget* m_pFrame;
    QPointer<QBoxLayout> m_pSlot;
    int m_nIndex;
    QPointer<CMyCaptionBar> m_pCaptionBar;
};
