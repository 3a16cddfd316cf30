// The caption bar: a message bar between the ribbon and the windows, with an
// image and a text from the left and a close box at its right end. Its layout
// is computed in whole pixels by LayOutElements from the state below, and
// drawn and hit-tested from the rectangles that it leaves.
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

class CMyCaptionBar : public QWidget {
    Q_OBJECT
public:
    // Spacing of the bar: margin M, gap between elements G, border size B
    // (below the client area), and the close glyph's size.
    static constexpr int kMargin = 4;
    static constexpr int kElementGap = 6;
    static constexpr int kBorderSize = 1;
    static constexpr int kCloseGlyph = 8;

    explicit CMyCaptionBar(QWidget* parent = nullptr);

    // --- State; nothing is laid out until LayOutElements (or a resize) ---------
    // An image of `size` drawn with `transparent` (when valid) left out.
    void SetBitmap(const QIcon& image, QSize size, const QColor& transparent);
    void SetImageToolTip(const QString& title, const QString& description);
    void SetText(const QString& text);

    bool HasImage() const { return !m_image.isNull(); }
    QString Text() const { return m_strText; }

    // --- Layout and its results -------------------------------------------------
    void LayOutElements();
    int CurrentHeight() const { return m_nCurrentHeight; }
    QRect ImageRect() const { return m_rectImage.ToQRect(); }
    QRect TextRect() const { return m_rectText.ToQRect(); }
    QRect CloseRect() const { return m_rectClose.ToQRect(); }
    bool IsTextTruncated() const { return m_bTextIsTruncated; }
    // The tooltip shown at `pos` (empty where none is): the image's title and
    // description, the whole text where it is cut.
    QString ToolTipAt(QPoint pos) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
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

    Box ClientBox() const;
    void PlaceImage(const Box& message, const Box& inner);
    void PlaceText(const Box& message, const Box& inner);
    void RefreshToolTips();
    QPixmap ImagePixmap(QSize size) const;
    void SetCloseHot(bool hot);

    QIcon m_image;
    QSize m_imageSize;
    QColor m_clrTransparent;
    QString m_strImageTipTitle;
    QString m_strImageTipDescription;
    QString m_strText;

    int m_nCurrentHeight = 0;
    Box m_rectMessage;  // the client area less the close box, where the message is drawn
    Box m_rectImage;
    Box m_rectText;
    Box m_rectClose;
    bool m_bTextIsTruncated = false;
    std::vector<std::pair<Box, QString>> m_toolTips;

    bool m_bCloseHot = false;
    bool m_bClosePressed = false;
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
