// Page 0: the welcome text; the maker's name and address lines stay hidden in this edition.
#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class WelcomePage;
}

class WelcomePage : public QWidget
{
    Q_OBJECT

public:
    explicit WelcomePage(QWidget *parent = nullptr);
    ~WelcomePage() override;

private:
    std::unique_ptr<Ui::WelcomePage> ui;
};
