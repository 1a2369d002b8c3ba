// ColourMenu: the code table as menu entries with colour swatches.
#include "app/ColourMenu.h"

#include "app/GameChoice.h"
#include "app/PaletteImage.h"
#include "render/ColourCodes.h"

#include <QPainter>
#include <QPixmap>

#include <cctype>

namespace glyphtint::app {
namespace {

constexpr int kSwatchSize = 16;

QIcon Swatch(const render::TColourTriple& colour)
{
    QPixmap swatch(kSwatchSize, kSwatchSize);
    swatch.fill(QColor(colour.Red, colour.Green, colour.Blue));
    // A dark frame keeps the white and pale colours apart from the menu's background.
    QPainter painter(&swatch);
    painter.setPen(QColor(64, 64, 64));
    painter.drawRect(0, 0, kSwatchSize - 1, kSwatchSize - 1);
    return QIcon(swatch);
}

} // namespace

QMenu* NewColourMenu(QWidget* parent, std::function<void(char code)> chosen)
{
    auto* menu = new QMenu("Insert c&olour", parent);
    menu->setObjectName("mnu_InsertColour");
    QMenu* digits = menu->addMenu("&Digits");
    QMenu* lower = menu->addMenu("&Letters a-z");
    QMenu* upper = menu->addMenu("Letters &A-Z");
    QMenu* signs = menu->addMenu("&Signs");
    // glyphtint's every code; a game's codes one a colour, as its palettes show them.
    const render::GameProfile& game = WindowGame();
    std::string shown;
    for (const std::string& palette : render::PaletteTexts(game)) {
        for (std::size_t at = 0; at + 1 < palette.size(); at += 3) {
            shown += palette[at + 1];
        }
    }
    for (int byte = 0; byte < 256; ++byte) {
        const std::optional<render::TColourTriple> found = game.rules.ColourOf(static_cast<unsigned char>(byte));
        if (!found ||
            (&game != &render::DefaultGameProfile() && shown.find(static_cast<char>(byte)) == std::string::npos)) {
            continue;
        }
        const render::TColourTriple colour = *found;
        const char code = static_cast<char>(byte);
        QMenu* group = std::isdigit(byte) ? digits : std::islower(byte) ? lower : std::isupper(byte) ? upper : signs;
        // The code is the entry's access key; '&' itself is written doubled. The colour's
        // name follows, for those who do not see the swatch.
        const QString named = ColourCodeCaption(code);
        const QString caption = (code == '&' ? QString("^&&") : QString("^&") + QChar::fromLatin1(code)) + named.mid(2);
        QAction* entry = group->addAction(Swatch(colour), caption);
        entry->setData(QChar::fromLatin1(code));
        QObject::connect(entry, &QAction::triggered, menu, [chosen, code] { chosen(code); });
    }
    return menu;
}

} // namespace glyphtint::app
