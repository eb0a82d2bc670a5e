// The games menu: each item starts its program from the games folder, detached,
// in our own working directory, and forgets it.
#include "platform/Shell.h"
#include "ui/main/Unit2.h"

#include <QDir>

namespace {
/// A game's program below the games folder and the show mode it was made for.
struct Game {
    const char *path;
    ShowMode mode;
};

// One per item, in menu order. The snake alone asks to be shown as it is; the
// others ask for their normal size and place.
constexpr Game quads{"go_quads/DODGE1/vorlk/xwxwc.exe", ShowMode::ShowNormal};
constexpr Game snake{"snake/Project1.exe", ShowMode::Show};
constexpr Game yetiWithBat{"yetisports/yetisports1.exe", ShowMode::ShowNormal};
constexpr Game yetiAndOrca{"yetisports/yetisports2.exe", ShowMode::ShowNormal};
constexpr Game penguinsUp{"yetisports/yetisports3.exe", ShowMode::ShowNormal};
constexpr Game yetiAndGulls{"yetisports/yetisports4.exe", ShowMode::ShowNormal};
constexpr Game yetiGolf{"yetisports/yetisports5.exe", ShowMode::ShowNormal};
constexpr Game yetiSurfer{"yetisports/yetisports6.exe", ShowMode::ShowNormal};
constexpr Game yetiSnowboard{"yetisports/yetisports7.exe", ShowMode::ShowNormal};

void start(const QString &gamesDir, const Game &game) {
    // Started where we run, not in the game's own folder; whether it started
    // at all is not looked at: a missing game simply does not come up.
    Shell::startDetached(QDir(gamesDir).filePath(QString::fromUtf8(game.path)), QDir::currentPath(), game.mode);
}
} // namespace

void TForm2::N1Click() { start(m_gamesDir, quads); }
void TForm2::N9Click() { start(m_gamesDir, snake); }
void TForm2::N13Click() { start(m_gamesDir, yetiWithBat); }
void TForm2::N21Click() { start(m_gamesDir, yetiAndOrca); }
void TForm2::N31Click() { start(m_gamesDir, penguinsUp); }
void TForm2::N41Click() { start(m_gamesDir, yetiAndGulls); }
void TForm2::N51Click() { start(m_gamesDir, yetiGolf); }
void TForm2::N61Click() { start(m_gamesDir, yetiSurfer); }
void TForm2::N71Click() { start(m_gamesDir, yetiSnowboard); }
