// The window's share of a keystroke and of start-up, against the renderer alone.
#include "ApplicationBenchmarkMain.h"
#include "app/MainWindow.h"
#include "render/GlyphArchivePath.h"
#include "render/GlyphPack.h"

#include <QApplication>
#include <QKeyEvent>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

// Two different 64-character coded texts, so that every change really changes the text.
const std::string kTexts[2] = {
    "^1m00 ^2says ^7hello^4, ^3quick ^5brown ^6fox^7! [0.1] {a+b=c} <x/",
    "^2m00 ^1says ^7howdy^4, ^3quick ^5brown ^6cat^7! [0.2] {a-b=c} <y/",
};

// The main window after start-up: FormCreate run, shown, and its first events handled.
class ShownWindow : public Tfrm_Main {
public:
    ShownWindow()
    {
        FormCreate();
        show();
        QApplication::processEvents();
    }
};

// The baseline: RenderCodedText of the text into a picture nobody shows.
void RenderOnly(benchmark::State& state)
{
    glyphtint::render::GlyphPack pack;
    pack.Open(glyphtint::render::GlyphArchivePath());
    TPicture picture;
    std::size_t i = 0;
    for (auto _ : state) {
        RenderCodedText(pack, kTexts[i++ % 2], picture);
    }
}
BENCHMARK(RenderOnly)->Unit(benchmark::kMicrosecond);

// A change of the text box's text, as typing makes it, to the repainted img_Render: the
// box's own work on the new text, its change event through the handler guard, the
// render, the change notification and the repaint.
void TextChangeToRepaintedImage(benchmark::State& state)
{
    ShownWindow window;
    auto* box = window.findChild<QLineEdit*>("edt_Text");
    auto* image = window.findChild<TImage*>("img_Render");
    std::size_t i = 0;
    for (auto _ : state) {
        box->setText(QString::fromStdString(kTexts[i++ % 2]));
        image->repaint();
    }
}
BENCHMARK(TextChangeToRepaintedImage)->Unit(benchmark::kMicrosecond);

// The window's share alone: the render into img_Render's picture, its change
// notification and the repaint, without the text box.
void RenderIntoShownImage(benchmark::State& state)
{
    ShownWindow window;
    auto* image = window.findChild<TImage*>("img_Render");
    // The pack the window opened, opened again: the window keeps its own to itself.
    glyphtint::render::GlyphPack pack;
    pack.Open(glyphtint::render::GlyphArchivePath());
    std::size_t i = 0;
    for (auto _ : state) {
        RenderCodedText(pack, kTexts[i++ % 2], image->Picture());
        image->repaint();
    }
}
BENCHMARK(RenderIntoShownImage)->Unit(benchmark::kMicrosecond);

// A pasted page: 100 000 characters of coded text.
std::string LongText()
{
    std::string text;
    while (text.size() < 100000) {
        text += kTexts[0];
    }
    text.resize(100000);
    return text;
}

// The baseline of typing into a long text: one render of it into a picture nobody shows.
void RenderLongText(benchmark::State& state)
{
    glyphtint::render::GlyphPack pack;
    pack.Open(glyphtint::render::GlyphArchivePath());
    const std::string text = LongText();
    TPicture picture;
    for (auto _ : state) {
        RenderCodedText(pack, text, picture);
    }
}
BENCHMARK(RenderLongText)->Unit(benchmark::kMillisecond);

// Five keys typed at the end of a pasted page, each handled as it arrives, and the render
// they lead to shown: the keys' own work should cost little beside one render.
void FiveKeysAfterLongPaste(benchmark::State& state)
{
    ShownWindow window;
    auto* box = window.findChild<QLineEdit*>("edt_Text");
    auto* image = window.findChild<TImage*>("img_Render");
    box->setFocus();
    box->setText(QString::fromStdString(LongText()));
    window.FlushPendingRender();
    QApplication::processEvents();
    for (auto _ : state) {
        for (const char key : {'a', 'b', 'c', 'd', 'e'}) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_A + (key - 'a'), Qt::NoModifier, QString(QChar(key)));
            QApplication::sendEvent(box, &press);
        }
        window.FlushPendingRender();
        image->repaint();
        QApplication::processEvents();
        state.PauseTiming();
        box->setText(QString::fromStdString(LongText()));
        window.FlushPendingRender();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(FiveKeysAfterLongPaste)->Unit(benchmark::kMillisecond);

// The baseline of start-up: the two palette strings rendered alone.
void PalettesOnly(benchmark::State& state)
{
    for (auto _ : state) {
        glyphtint::render::GlyphPack pack;
        pack.Open(glyphtint::render::GlyphArchivePath());
        TPicture first;
        TPicture second;
        RenderCodedText(pack, glyphtint::app::kPaletteText1, first);
        RenderCodedText(pack, glyphtint::app::kPaletteText2, second);
    }
}
BENCHMARK(PalettesOnly)->Unit(benchmark::kMillisecond);

// The window built, FormCreate run (archive opened, palettes rendered) and shown with
// its first paint done; the application object already exists.
void WindowToShown(benchmark::State& state)
{
    for (auto _ : state) {
        auto window = std::make_unique<Tfrm_Main>();
        window->FormCreate();
        window->show();
        window->repaint();
        QApplication::processEvents();
        state.PauseTiming();
        window.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(WindowToShown)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return glyphtint::bench::RunBenchmarksWithApplication<QApplication>(argc, argv);
}
