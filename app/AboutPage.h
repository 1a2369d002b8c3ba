// AboutPage: the About tab's page: icon, name, version, help text and credits.
#pragma once

#include "app/Bevel.h"
#include "app/DesignScale.h"

#include <QLabel>
#include <QWidget>

namespace glyphtint::app {

class AboutPage : public QWidget {
public:
    explicit AboutPage(const DesignScale& scale, QWidget* parent = nullptr);

    // The line under the credits that says whether the banner moves and how to stop it.
    void SetBannerNote(const QString& note);
    // The height the page needs at the given width, its wrapped texts fitted to it.
    int HeightAt(int width);

private:
    QLabel* Image1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label5;
    TBevel* Bevel1;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* lbl_Banner;
    int helpRightMargin_ = 0;
};

} // namespace glyphtint::app
