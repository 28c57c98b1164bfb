#pragma once

#include "ui/page.h"

#include <QByteArray>
#include <QTextBrowser>
#include <functional>
#include <vector>

// OnLink of an information page: the viewer that was clicked and the link's target.
using TLinkEvent = std::function<void(QObject &Sender, const QString &AStr)>;

// The HTML viewer of the information page: images come from the page's own collection by index.
class TInformationBrowser : public QTextBrowser {
    Q_OBJECT

public:
    explicit TInformationBrowser(QWidget *Parent = nullptr);
    // PNG data of the pictures an img element names by index.
    std::vector<QByteArray> ImageCollection;

    QVariant loadResource(int Type, const QUrl &Name) override;
};

// The step that shows a block of HTML: bench instructions, hints, final messages. Its links may
// act like the Next button.
class TfmInformation : public TPage {
    Q_OBJECT

public:
    explicit TfmInformation(QWidget *AOwner = nullptr);

    const QString &HTMLText() const { return FHTMLText; }
    void SetHTMLText(const QString &Value) { FHTMLText = Value; }
    const TLinkEvent &OnLink() const { return FOnLink; }
    void SetOnLink(TLinkEvent Value);

protected:
    void DoShow() override;

private:
    TInformationBrowser *Html;
    QString FHTMLText;
    TLinkEvent FOnLink;
};
