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

private:
    QLabel* Image1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label5;
    TBevel* Bevel1;
    QLabel* Label3;
    QLabel* Label4;
};

} // namespace glyphtint::app
