// The about box (TfrmAbout): created once at start-up and shown from the Help menu; the program's
// icon, its name and version, and links to the maker's pages.
#pragma once

#include <memory>

#include <QDialog>
#include <QLabel>

namespace Ui {
class TfrmAbout;
}

namespace wux::mainwindow {

// Texts of the about box.
inline constexpr int kTextAboutCaption = 1000;
inline constexpr int kTextAboutSupport = 1001;
inline constexpr int kTextAboutContact = 1004;
inline constexpr int kTextOk = 132;

// Makes the main window's images (":/images/NAME.png") available; once is enough, more does no harm.
void initMainWindowResources();

// Registers texts 1000, 1001 and 1004.
void registerAboutTexts();

// The web page of a link label by its tag: 1 home page, 2 support, 3 contact (OpenWebPage codes 21,
// 20, 24); 0 for any other tag.
int linkPageCode(int tag);

// A label that opens a web page: blue with a pointing hand, aqua while the mouse is over it.
class TLinkLabel : public QLabel
{
    Q_OBJECT
public:
    explicit TLinkLabel(QWidget* parent = nullptr);
    int tag() const { return property("tag").toInt(); }

Q_SIGNALS:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void setColor(const QColor& color);
};

class TfrmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);
    ~TfrmAbout() override;

    // The click handler of the three link labels: opens the page of the label's tag.
    void lblTechnSuppClick(int tag);

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TfrmAbout> ui_;
};

} // namespace wux::mainwindow
