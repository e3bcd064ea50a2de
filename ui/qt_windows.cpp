// The toolkit's state and its window table: opening, colouring and closing
// windows, and the reset between tests.
#include "ui/qt_internal.h"

#include "ui/qt_access.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <algorithm>

namespace ui {

using namespace impl;

namespace {

// A window of the program. A close from outside (close box, Alt+F4, the
// window manager) is refused here and handed to the program as a request.
class ToolkitWindow : public QWidget {
public:
    ToolkitWindow(int number, QWidget* owner, Qt::WindowFlags flags) : QWidget(owner, flags), number_(number) {}

protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        PushEvent(Event::CloseRequest, -1, number_);
    }

private:
    int number_;
};

// Brings a window to the front. The offscreen platform has no stacking
// order and complains when asked for one.
void BringToFront(QWidget* window)
{
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        window->raise();
    window->activateWindow();
}

void DropWindow(int window)
{
    auto it = S().windows.find(window);
    if (it == S().windows.end())
        return;
    QPointer<QWidget> widget = it->second.widget;
    std::vector<int> owned;
    for (auto& [n, entry] : S().widgets)
        if (entry.window == window)
            owned.push_back(n);
    for (int n : owned)
        S().widgets.erase(n);
    S().windows.erase(it);
    std::erase_if(S().queue, [window](const QueuedEvent& e) { return e.window == window; });
    if (S().currentWindow == window)
        S().currentWindow = NoWindow;
    // Windows it owns go with it, as Qt deletes child windows with their parent.
    std::vector<int> children;
    for (auto& [n, entry] : S().windows)
        if (entry.owner == window)
            children.push_back(n);
    for (int n : children)
        DropWindow(n);
    delete widget.data();
}

}  // namespace

namespace impl {

State& S()
{
    static State state;
    return state;
}

QWidget* WindowOf(int window)
{
    auto it = S().windows.find(window);
    return it == S().windows.end() ? nullptr : it->second.widget.data();
}

}  // namespace impl

bool OpenWindow(int window, int x, int y, int width, int height, const std::u16string& title, unsigned flags,
                int owner)
{
    if (!QApplication::instance() || width <= 0 || height <= 0)
        return false;
    if (WindowExists(window))
        CloseWindow(window);
    QWidget* ownerWidget = owner == NoWindow ? nullptr : WindowOf(owner);

    Qt::WindowFlags wf = (ownerWidget ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint;
    if (flags & WindowTitleBar)
        wf |= Qt::WindowTitleHint;
    if (flags & WindowSystemMenu)
        wf |= Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (flags & WindowMinimiseBox)
        wf |= Qt::WindowMinimizeButtonHint;

    auto* widget = new ToolkitWindow(window, ownerWidget, wf);
    widget->setAttribute(Qt::WA_DeleteOnClose, false);
    widget->setWindowModality(Qt::NonModal);
    widget->setAttribute(Qt::WA_AlwaysShowToolTips);
    widget->setWindowTitle(Q(title));
    widget->setFixedSize(width, height);

    WindowEntry& entry = S().windows[window];
    entry = WindowEntry{};
    entry.widget = widget;
    entry.owner = ownerWidget ? owner : NoWindow;
    entry.openedAt = ++S().openCounter;
    S().currentWindow = window;

    // Place the whole window, frame included: once before it is shown, with
    // the frame as far as it is known, and again if showing it revealed a
    // different frame.
    auto place = [&] {
        const QSize frame = widget->frameGeometry().size();
        if (!(flags & (WindowScreenCentred | WindowOwnerCentred))) {
            widget->move(x, y);
            return;
        }
        QRect area;
        QRect available;
        QScreen* screen = ownerWidget ? ownerWidget->screen() : QGuiApplication::primaryScreen();
        if (screen)
            available = screen->availableGeometry();
        if ((flags & WindowOwnerCentred) && ownerWidget)
            area = ownerWidget->frameGeometry();
        else if (screen)
            area = screen->geometry();
        // On an axis where the window is larger than the area it starts at
        // the area's edge.
        int left = area.left() + std::max(0, (area.width() - frame.width()) / 2);
        int top = area.top() + std::max(0, (area.height() - frame.height()) / 2);
        // A window that fits beside the screen's panels is kept clear of them.
        if (frame.width() <= available.width())
            left = std::clamp(left, available.left(), available.right() + 1 - frame.width());
        if (frame.height() <= available.height())
            top = std::clamp(top, available.top(), available.bottom() + 1 - frame.height());
        widget->move(left, top);
    };
    place();
    const QSize before = widget->frameGeometry().size();
    widget->show();
    if (widget->frameGeometry().size() != before)
        place();
    BringToFront(widget);
    return true;
}

bool WindowExists(int window) { return WindowOf(window) != nullptr; }

void SetWindowColour(int window, Colour colour)
{
    QWidget* widget = WindowOf(window);
    if (!widget)
        return;
    SetRoles(widget, {QPalette::Window}, colour);
    widget->setAutoFillBackground(colour != DefaultColour);
}

void SetWindowIcon(int window, int width, int height, const std::vector<std::uint32_t>& argb)
{
    QWidget* widget = WindowOf(window);
    if (!widget || width <= 0 || height <= 0 ||
        argb.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        return;
    QImage image(width, height, QImage::Format_ARGB32);
    for (int row = 0; row < height; ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        for (int col = 0; col < width; ++col)
            line[col] = argb[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) + static_cast<std::size_t>(col)];
    }
    widget->setWindowIcon(QIcon(QPixmap::fromImage(image)));
}

void CloseWindow(int window)
{
    auto it = S().windows.find(window);
    if (it == S().windows.end())
        return;
    if (QWidget* owner = WindowOf(it->second.owner))
        BringToFront(owner);
    DropWindow(window);
}

void ActivateWindow(int window)
{
    if (QWidget* widget = WindowOf(window))
        BringToFront(widget);
}

namespace qt {

QWidget* WindowWidget(int window) { return WindowOf(window); }

void ResetForTests()
{
    State& s = S();
    while (!s.windows.empty())
        DropWindow(s.windows.begin()->first);
    s.widgets.clear();
    s.fonts.clear();
    s.queue.clear();
    s.currentWindow = NoWindow;
    s.eventWidget = -1;
    s.eventWindow = NoWindow;
    s.recordMessages = false;
    s.messages.clear();
    s.fileAnswers.clear();
    s.saveAnswers.clear();
    s.fileDialogs.clear();
    s.questionAnswers.clear();
    s.questions.clear();
    s.contactFormAnswers.clear();
    s.contactDialogs.clear();
    s.tableAnswers.clear();
    s.tableDialogs.clear();
}

}  // namespace qt
}  // namespace ui
