// Pegelwerk: the program is its window. Root is created, loaded (the no-mixer
// message, if any, comes now) and only then shown; the program ends when the
// window closes.
#include <QApplication>

#include "app/display_platform.h"
#include "platform/alsa/alsa_mixer_service.h"
#include "platform/sound/alsa_sound_service.h"
#include "ui/root.h"

int main(int argc, char** argv) {
    ChooseDisplayPlatform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pegelwerk"));
    QApplication::setApplicationDisplayName(QStringLiteral("Pegelwerk"));
    QApplication::setApplicationVersion(QStringLiteral(PEGELWERK_VERSION));
    // Lets desktops match the window to the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("de.pegelwerk.Pegelwerk"));
    QApplication::setStyle(QStringLiteral("Fusion"));

    // Opens the mixer devices on their own threads while the window is built;
    // Form_Load's mixerOpen takes them over. Made before the toolkit, it would
    // slow the toolkit's own start more than it saves.
    AlsaMixerService mixer;
    AlsaSoundService sound;
    Root root(mixer, sound);
    root.Form_Load();
    root.show();
    QApplication::exec();
    return 0;
}
