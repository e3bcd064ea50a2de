// The application object: made once, remade to fit a small screen, with
// German translations for Qt's own dialogs, and the one line on standard
// error when there is no display.
#include "ui/qt_internal.h"

#include "ui/qt_access.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace ui {

using namespace impl;

namespace {

// Room for a window's frame and title bar when a size is checked against the
// screen before the window exists, in logical pixels.
constexpr int FrameAllowanceWidth = 8;
constexpr int FrameAllowanceHeight = 36;
// FitToScreen never scales below one device pixel per design pixel: it takes
// back what a high-DPI screen added, no more. Below that texts would shrink
// under their design size, and Qt does not draw widgets reliably at a device
// pixel ratio under 1.
constexpr double SmallestDeviceScale = 1.0;

void WriteNoDisplayMessage()
{
    const QByteArray line = Q(S().noDisplayMessage).toUtf8();
    if (!line.isEmpty()) {
        std::fprintf(stderr, "%s\n", line.constData());
        std::fflush(stderr);
    }
}

// What Qt says while the application object is made is held back: when the
// platform cannot be brought up (a display that is named but unreachable),
// Qt ends the process with a fatal message, and the user gets the program's
// one line instead. Otherwise the held messages are passed on afterwards.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
std::vector<HeldMessage> heldMessages;
QtMessageHandler passOn = nullptr;

void PassOnHeldMessages()
{
    for (const HeldMessage& m : heldMessages)
        passOn(m.type, QMessageLogContext(nullptr, 0, nullptr, m.category.constData()), m.text);
    heldMessages.clear();
}

void HoldStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg && !S().noDisplayMessage.empty()) {
        WriteNoDisplayMessage();
        std::_Exit(1);
    }
    if (type == QtFatalMsg) {
        PassOnHeldMessages();
        passOn(type, context, text);
        return;
    }
    heldMessages.push_back({type, QByteArray(context.category ? context.category : ""), text});
}

bool LoadTranslations()
{
    State& s = S();
    if (s.translator) {
        QCoreApplication::removeTranslator(s.translator);
        delete s.translator.data();
    }
    if (s.language.empty() || !QCoreApplication::instance())
        return false;
    const QString language = Q(s.language);
    QLocale::setDefault(QLocale(language));
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_") + language, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    s.translator = translator;
    return true;
}

void MakeApplication()
{
    State& s = S();
    passOn = qInstallMessageHandler(HoldStartMessage);
    s.ownApp = new QApplication(s.argc, s.argv.data());
    qInstallMessageHandler(passOn);
    PassOnHeldMessages();
    QApplication::setQuitOnLastWindowClosed(false);
    LoadTranslations();
}

}  // namespace

bool Init(int argc, char** argv)
{
    State& s = S();
    if (QApplication::instance())
        return qobject_cast<QApplication*>(QApplication::instance()) != nullptr;
    if (!DisplayNamed()) {
        WriteNoDisplayMessage();
        return false;
    }
    static char programName[] = "nummernwerk";
    s.argv.clear();
    if (argc > 0 && argv) {
        for (int i = 0; i < argc; ++i)
            s.argv.push_back(argv[i]);
    } else {
        s.argv.push_back(programName);
    }
    s.argc = static_cast<int>(s.argv.size());
    s.argv.push_back(nullptr);
    MakeApplication();
    return true;
}

void Shutdown()
{
    qt::ResetForTests();
    State& s = S();
    if (s.ownApp) {
        delete s.ownApp;
        s.ownApp = nullptr;
    }
}

void SetNoDisplayMessage(const std::u16string& line) { S().noDisplayMessage = line; }

bool DisplayNamed()
{
    // QT_QPA_PLATFORM may list platforms to try in turn ("wayland;xcb"),
    // each with its arguments after a colon; unset, it is X11.
    const QStringList platforms = qEnvironmentVariable("QT_QPA_PLATFORM").split(u';', Qt::SkipEmptyParts);
    for (const QString& platform : platforms) {
        const QString name = platform.section(u':', 0, 0).trimmed();
        if (!name.isEmpty() && name != u"xcb" && !name.startsWith(u"wayland"))
            return true;
    }
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void FitToScreen(int width, int height)
{
    State& s = S();
    // Only an application object of the toolkit's own, before any window,
    // can be made anew.
    if (!s.ownApp || !s.windows.empty())
        return;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const double scale = qt::FitScale(width, height, area.width(), area.height(), screen->devicePixelRatio());
    if (scale >= 1.0)
        return;
    // Qt scales everything evenly by QT_SCALE_FACTOR, on top of the screen's
    // own factor and of a factor the user chose; it reads it only when the
    // application object is made.
    bool given = false;
    double factor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&given);
    if (!given || factor <= 0)
        factor = 1.0;
    // Rounded down, so that the window fits.
    qputenv("QT_SCALE_FACTOR", QByteArray::number(std::floor(factor * scale * 1000.0) / 1000.0, 'f', 3));
    delete s.ownApp;
    s.ownApp = nullptr;
    MakeApplication();
}

bool SetLanguage(const std::u16string& language)
{
    S().language = language;
    return LoadTranslations();
}

void SetDesktopFileName(const std::u16string& name)
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::setDesktopFileName(Q(name));
}

int DisplayDpiY()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return 96;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 96;
    const int dpi = static_cast<int>(std::lround(screen->logicalDotsPerInchY()));
    return dpi > 0 ? dpi : 96;
}

namespace qt {

double FitScale(int width, int height, int availableWidth, int availableHeight, double devicePixelRatio)
{
    if (width <= 0 || height <= 0)
        return 1.0;
    const double fit = std::min(static_cast<double>(availableWidth - FrameAllowanceWidth) / width,
                                static_cast<double>(availableHeight - FrameAllowanceHeight) / height);
    if (fit >= 1.0)
        return 1.0;
    const double smallest = SmallestDeviceScale / (devicePixelRatio > 0 ? devicePixelRatio : 1.0);
    return std::min(1.0, std::max(fit, smallest));
}

}  // namespace qt
}  // namespace ui
