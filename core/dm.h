#pragma once

#include <QPixmap>
#include <QString>
#include <vector>

// Indices of the header icons; pages name their icon by these.
namespace ImageIndex {
enum : int {
    printer2,
    Download,
    folder,
    print,
    unlock,
    lock,
    search,
    usb_on,
    network_cable,
    home,
};
} // namespace ImageIndex

// The image module: the 26x26 header icons of the wizard pages. The main program creates one
// before the main window; it needs a running QGuiApplication.
class TDM {
public:
    static constexpr int ImageSize = 26;

    TDM();
    ~TDM();
    TDM(const TDM &) = delete;
    TDM &operator=(const TDM &) = delete;

    int ImageCount() const { return static_cast<int>(FImages.size()); }
    // Raises ERangeError for an index outside the collection.
    QPixmap GetImage(int AImageIndex) const;
    QString ImageName(int AImageIndex) const;

private:
    void CheckIndex(int AImageIndex) const;

    std::vector<QPixmap> FImages;
};

// The module the main program created; raises when there is none.
TDM &DM();
