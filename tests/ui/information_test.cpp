#include "tests/support/printers.h"
#include "tests/ui/buttonrecorder.h"
#include "ui/information.h"

#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct InformationPage : ::testing::Test {
    InformationPage() {
        Page.resize(400, 300);
        Html = Page.findChild<TInformationBrowser *>(QStringLiteral("Html"));
    }
    TButtonRecorder Buttons;
    TfmInformation Page;
    TInformationBrowser *Html = nullptr;
};

} // namespace

TEST_F(InformationPage, ImagesOnlyByValidIndex) {
    const QVariant Arrow =
        Html->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("0")));
    QImage Picture;
    ASSERT_TRUE(Picture.loadFromData(Arrow.toByteArray(), "PNG"));
    EXPECT_EQ(Picture.size(), QSize(26, 26));
    for (const char *Source : {"1", "-1", "abc", ""})
        EXPECT_FALSE(
            Html->loadResource(QTextDocument::ImageResource, QUrl(QLatin1String(Source))).isValid())
            << Source;
}

TEST_F(InformationPage, LinksGoToTheHandlerAndNeverNavigate) {
    QStringList Targets;
    Page.SetOnLink([&](QObject &Sender, const QString &Target) {
        EXPECT_EQ(&Sender, Html);
        Targets << Target;
    });
    Page.SetHTMLText(QStringLiteral("<p>Выполните следующие действия:</p>"
                                    "<a href=\"other\">Другое</a> <a href=\"Next\">Далее</a>"));
    Page.show();
    Html->setFocus();
    QTest::keyClick(Html, Qt::Key_Tab);
    QTest::keyClick(Html, Qt::Key_Return);
    QTest::keyClick(Html, Qt::Key_Tab);
    QTest::keyClick(Html, Qt::Key_Tab);
    QTest::keyClick(Html, Qt::Key_Return);
    EXPECT_EQ(Targets, QStringList({QStringLiteral("other"), QStringLiteral("Next")}));
    EXPECT_EQ(Html->source(), QUrl());
    EXPECT_TRUE(Html->toPlainText().startsWith(QStringLiteral("Выполните следующие действия:")));
}

TEST_F(InformationPage, ShowingAgainReloadsAndAllowsNextAndHome) {
    Page.SetHTMLText(QStringLiteral("<p>Первый</p>"));
    Page.show();
    EXPECT_EQ(Html->toPlainText(), QStringLiteral("Первый"));
    Page.hide();
    Buttons.NextEnabled = false;
    Buttons.HomeEnabled = false;
    Page.SetHTMLText(QStringLiteral("<p>Второй</p>"));
    Page.show();
    EXPECT_EQ(Html->toPlainText(), QStringLiteral("Второй"));
    EXPECT_TRUE(Buttons.NextEnabled);
    EXPECT_TRUE(Buttons.HomeEnabled);
}
