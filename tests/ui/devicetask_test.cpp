#include "core/xmlutils.h"
#include "tests/support/printers.h"
#include "ui/progress.h"
#include "ui/rowdelegate.h"
#include "work/devicetask.h"

#include <QDomDocument>
#include <QStringListModel>
#include <gtest/gtest.h>

namespace {

// A page that keeps one value of operator input in the task's element.
class TFileNamePage : public TPage {
public:
    void SaveToXML(QDomElement Node) override {
        XmlWriteValue(Node, QStringLiteral("FileName"), FileName);
    }
    void LoadFromXML(QDomElement Node) override {
        FileName = XmlReadString(Node, QStringLiteral("FileName"), QStringLiteral("default.hex"));
    }
    QString FileName;
};

class TFileTask : public TDeviceTask {
public:
    explicit TFileTask(const QString &AName) {
        SetName(AName);
        AddPage(std::make_unique<TPage>());
        Page = AddPage(std::make_unique<TFileNamePage>());
    }
    TFileNamePage *Page;
};

} // namespace

TEST(Pages, ItemByTypeAndValidIndex) {
    TPages Pages;
    EXPECT_FALSE(Pages.ValidIndex(0));
    EXPECT_EQ(Pages.ItemByType<TPage>(), nullptr);
    auto *Plain = Pages.Add(std::make_unique<TFileNamePage>());
    auto *Progress = Pages.Add(std::make_unique<TfmProgress>());
    Pages.Add(std::make_unique<TfmMultiProgress>());
    EXPECT_EQ(Pages.ItemByType<TPage>(), Plain) << "a base class finds the first page";
    EXPECT_EQ(Pages.ItemByType<TfmProgress>(), Progress);
    EXPECT_FALSE(Pages.ValidIndex(-1));
    EXPECT_TRUE(Pages.ValidIndex(2));
    EXPECT_FALSE(Pages.ValidIndex(3));
}

TEST(DeviceTask, StoredInputUnderTheTaskElement) {
    QDomDocument Document;
    QDomElement Tasks =
        Document.appendChild(Document.createElement(QStringLiteral("Tasks"))).toElement();

    TFileTask Fresh(QStringLiteral("WriteFMFlash"));
    Fresh.LoadFromXML(Tasks);
    EXPECT_EQ(Fresh.Page->FileName, QStringLiteral("default.hex"));
    EXPECT_FALSE(XmlFindChild(Tasks, QStringLiteral("WriteFMFlash")).isNull())
        << "loading adds the missing element";

    Fresh.Page->FileName = QStringLiteral("fm.hex");
    Fresh.SaveToXML(Tasks);
    Fresh.SaveToXML(Tasks);
    EXPECT_EQ(Tasks.elementsByTagName(QStringLiteral("WriteFMFlash")).count(), 1);

    // Two tasks with one name share their stored values.
    TFileTask Twin(QStringLiteral("WriteFMFlash"));
    Twin.LoadFromXML(Tasks);
    EXPECT_EQ(Twin.Page->FileName, QStringLiteral("fm.hex"));
    TFileTask Other(QStringLiteral("CheckUM"));
    Other.LoadFromXML(Tasks);
    EXPECT_EQ(Other.Page->FileName, QStringLiteral("default.hex"));
}

namespace {

struct TExposedDelegate : TListRowDelegate {
    using TListRowDelegate::initStyleOption;
    using TListRowDelegate::TListRowDelegate;
};

} // namespace

TEST(ListRows, SelectedRowBoldAndFixedHeight) {
    QStringListModel Model({QStringLiteral("1. Поиск")});
    const QModelIndex Row = Model.index(0);
    for (const bool Bold : {true, false}) {
        TExposedDelegate Delegate(22, Bold, nullptr);
        QStyleOptionViewItem Option;
        Option.state |= QStyle::State_Selected;
        Delegate.initStyleOption(&Option, Row);
        EXPECT_EQ(Option.font.bold(), Bold);
        Option.state &= ~QStyle::State_Selected;
        Delegate.initStyleOption(&Option, Row);
        EXPECT_FALSE(Option.font.bold());
        EXPECT_EQ(Delegate.sizeHint(Option, Row).height(), 22);
    }
}
