#include "core/dm.h"

#include "core/errors.h"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <array>

namespace {

// Names in index order; each is also the name of its picture in the resources.
constexpr std::array<const char *, 10> ImageNames = {
    "printer2", "Download", "folder", "print",         "unlock",
    "lock",     "search",   "usb_on", "network_cable", "home",
};

TDM *Module = nullptr;

QPixmap RenderIcon(const QString &Name) {
    QSvgRenderer renderer(QStringLiteral(":/images/%1.svg").arg(Name));
    if (!renderer.isValid())
        throw Exception(QStringLiteral("Не удалось загрузить изображение \"%1\"").arg(Name));
    QImage image(TDM::ImageSize, TDM::ImageSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    return QPixmap::fromImage(image);
}

} // namespace

// Resources of a static library must be registered by hand; the macro wants the global scope.
static void InitResources() {
    Q_INIT_RESOURCE(images);
}

TDM::TDM() {
    InitResources();
    for (const char *name : ImageNames)
        FImages.push_back(RenderIcon(QLatin1String(name)));
    Module = this;
}

TDM::~TDM() {
    if (Module == this)
        Module = nullptr;
}

void TDM::CheckIndex(int AImageIndex) const {
    if (AImageIndex < 0 || AImageIndex >= ImageCount())
        throw ERangeError(QStringLiteral("Индекс изображения вне диапазона (%1)").arg(AImageIndex));
}

QPixmap TDM::GetImage(int AImageIndex) const {
    CheckIndex(AImageIndex);
    return FImages[static_cast<size_t>(AImageIndex)];
}

QString TDM::ImageName(int AImageIndex) const {
    CheckIndex(AImageIndex);
    return QLatin1String(ImageNames[static_cast<size_t>(AImageIndex)]);
}

TDM &DM() {
    if (Module == nullptr)
        throw Exception(QStringLiteral("Модуль изображений не создан"));
    return *Module;
}
