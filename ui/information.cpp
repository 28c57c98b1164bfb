#include "ui/information.h"

#include "ui/statusicons.h"
#include "ui/uicontroller.h"

#include <QBuffer>
#include <QVBoxLayout>

namespace {

QByteArray ToPng(const QPixmap &Picture) {
    QByteArray Data;
    QBuffer Stream(&Data);
    if (!Stream.open(QIODevice::WriteOnly) || !Picture.save(&Stream, "PNG"))
        return QByteArray();
    return Data;
}

} // namespace

TInformationBrowser::TInformationBrowser(QWidget *Parent)
    : QTextBrowser(Parent) {}

QVariant TInformationBrowser::loadResource(int Type, const QUrl &Name) {
    if (Type != QTextDocument::ImageResource)
        return QTextBrowser::loadResource(Type, Name);
    bool IsNumber = false;
    int Index = Name.toString().toInt(&IsNumber);
    if (!IsNumber)
        Index = -1;
    if (Index < 0 || Index >= static_cast<int>(ImageCollection.size()) ||
        ImageCollection[static_cast<std::size_t>(Index)].isEmpty())
        return QVariant();
    return ImageCollection[static_cast<std::size_t>(Index)];
}

TfmInformation::TfmInformation(QWidget *AOwner)
    : TPage(AOwner)
    , Html(new TInformationBrowser(this)) {
    Html->setObjectName(QStringLiteral("Html"));
    Html->setFont(QFont(QStringLiteral("Times New Roman")));
    Html->setFrameShape(QFrame::StyledPanel);
    Html->setFocusPolicy(Qt::StrongFocus);
    Html->ImageCollection.push_back(ToPng(StatusIcon(TStatusIcon::ArrowRight, 26)));
    auto *Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->addWidget(Html);
    connect(Html, &QTextBrowser::anchorClicked, this, [this](const QUrl &Link) {
        if (FOnLink)
            FOnLink(*Html, Link.toString());
    });
}

void TfmInformation::SetOnLink(TLinkEvent Value) {
    FOnLink = std::move(Value);
    // A handled link is never followed by the viewer itself.
    Html->setOpenLinks(!FOnLink);
}

void TfmInformation::DoShow() {
    Html->setHtml(FHTMLText);
    UIController().EnablePrevNext();
    UIController().EnableHome(true);
}
