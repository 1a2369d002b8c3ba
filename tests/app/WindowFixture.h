// A main window on a private copy of the glyph archive, with its boxes answered by the test.
#pragma once

#include "app/MainWindow.h"
#include "archive/ZipArchive.h"
#include "render/GlyphNames.h"
#include "render/GlyphPack.h"
#include "../support/TestArchives.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The glyphs of the given bytes taken from the shipped archive, as entry name and bytes.
inline std::vector<std::pair<std::string, std::string>> ShippedGlyphs(const glyphtint::test::ScratchFolder& folder,
                                                                      const std::string& characters)
{
    TZipArchive shipped;
    shipped.FileName = glyphtint::test::CopyOfShippedArchive(folder);
    shipped.Open(0);
    std::vector<std::pair<std::string, std::string>> entries;
    for (unsigned char c : characters) {
        std::string bytes;
        shipped.ExtractEntryBytes(glyphtint::render::FullGlyphEntryName(c), bytes);
        entries.emplace_back(glyphtint::render::FullGlyphEntryName(c), bytes);
    }
    return entries;
}

// Records what the window would have shown and answers password requests from a list.
struct RecordedBoxes {
    std::vector<std::string> errors;
    std::vector<std::string> advice; // the sentence beside each error, in the same order
    std::vector<std::string> messages;
    std::vector<std::string> passwordRequests; // entry names
    std::deque<std::optional<std::string>> passwordAnswers;
    std::vector<std::string> givenPasswords; // the answers handed to the window
    std::function<void()> whilePasswordBoxOpen;
    std::function<void()> whileErrorBoxOpen;

    glyphtint::app::WindowHooks Hooks(const std::string& archive)
    {
        glyphtint::app::WindowHooks hooks;
        hooks.archivePath = archive;
        hooks.reportError = [this](const std::string& message, const std::string& sentence) {
            errors.push_back(message);
            advice.push_back(sentence);
            if (whileErrorBoxOpen) {
                whileErrorBoxOpen();
            }
        };
        hooks.showMessage = [this](const std::string& message) { messages.push_back(message); };
        hooks.askPassword = [this](const std::string& entry, const std::string&) -> std::optional<std::string> {
            passwordRequests.push_back(entry);
            if (whilePasswordBoxOpen) {
                whilePasswordBoxOpen();
            }
            if (passwordAnswers.empty()) {
                return std::nullopt;
            }
            std::optional<std::string> answer = passwordAnswers.front();
            passwordAnswers.pop_front();
            if (answer) {
                givenPasswords.push_back(*answer);
            }
            return answer;
        };
        return hooks;
    }
};

class WindowTest : public ::testing::Test {
protected:
    // Starts the window as the program does, on the given archive file.
    void Start(const std::string& archive)
    {
        archive_ = archive;
        window = std::make_unique<Tfrm_Main>(boxes.Hooks(archive));
        window->RunGuarded([this] { window->FormCreate(); });
        window->show();
        QApplication::processEvents();
    }
    void StartWithShippedArchive() { Start(CopyOfShippedArchive(folder)); }
    // The archive opened as FormCreate opens it, on an archive that lacks the palette glyphs.
    void OpenWithoutPalettes(const std::string& archive)
    {
        window->OpenGlyphPack(archive);
        archive_ = archive;
        glyphs_.Close();
        Find<QTabWidget>("pc_Tabs")->setCurrentIndex(0);
    }

    // A widget or action of the window by its object name; fails the test when missing.
    template <class T> T* Find(const char* name) const
    {
        T* found = window->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    std::vector<std::string> TabCaptions() const
    {
        std::vector<std::string> captions;
        for (int i = 0; i < Find<QTabWidget>("pc_Tabs")->count(); ++i) {
            captions.push_back(Find<QTabWidget>("pc_Tabs")->tabText(i).toStdString());
        }
        return captions;
    }

    // Gives a box a text as the program does, inside a handler.
    void Change(TTextBox* box, const std::string& text)
    {
        window->RunGuarded([&] { box->SetText(text); });
    }

    // Types into the active page's box as a user does.
    void Type(const QString& text)
    {
        TTextBox* box = window->ActivePageEdit();
        box->setFocus();
        QTest::keyClicks(box, text);
    }

    const TBitmap* Strip(TImage* image) const { return dynamic_cast<const TBitmap*>(image->Picture().Graphic()); }
    int StripWidth(TImage* image) const { return image->Picture().Width(); }

    // The width of the strip that text renders to, from a fresh render of our own.
    int RenderedWidth(const std::string& text)
    {
        TPicture picture;
        RenderCodedText(Glyphs(), text, picture);
        return picture.Width();
    }

    // The pack the window draws with, opened by the test itself for the pictures it expects.
    glyphtint::render::GlyphPack& Glyphs()
    {
        if (!glyphs_.Active()) {
            glyphs_.Open(archive_);
            // An encrypted pack opens with the last password the window was given.
            glyphs_.SetPasswordRequest([this](const std::string&, std::string& password, bool& skip) {
                skip = boxes.givenPasswords.empty() || password == boxes.givenPasswords.back();
                if (!skip) {
                    password = boxes.givenPasswords.back();
                }
            });
        }
        return glyphs_;
    }

    glyphtint::test::ScratchFolder folder;
    RecordedBoxes boxes;
    std::unique_ptr<Tfrm_Main> window;
    std::string archive_;
    glyphtint::render::GlyphPack glyphs_;
};
