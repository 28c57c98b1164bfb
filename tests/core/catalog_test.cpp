#include "core/appmanager.h"
#include "core/errors.h"
#include "core/xmlutils.h"
#include "tests/core/filesizelimit.h"
#include "tests/core/logcapture.h"
#include "tests/support/printers.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString FileNameElement = QStringLiteral("FileName");

// A task with the stored-state contract of the task framework: its own element under "Tasks",
// found or added on load and save, and one value element below it.
class TStoringTask : public TDeviceTaskBase {
public:
    TStoringTask() { ++Alive; }
    ~TStoringTask() override { --Alive; }
    void LoadFromXML(QDomElement ANode) override {
        Value = XmlReadString(Element(ANode), FileNameElement, QStringLiteral("default"));
    }
    void SaveToXML(QDomElement ANode) override {
        XmlWriteValue(Element(ANode), FileNameElement, Value);
    }

    static inline int Alive = 0;
    QString Value = QStringLiteral("default");

private:
    static QDomElement Element(QDomElement ANode) {
        QDomElement element = XmlFindChild(ANode, QStringLiteral("CheckFR"));
        if (element.isNull())
            element =
                ANode.appendChild(ANode.ownerDocument().createElement(QStringLiteral("CheckFR")))
                    .toElement();
        return element;
    }
};

class CatalogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterDeviceTaskClass<TStoringTask>(TDeviceTaskClass::CheckFR);
        RegisterDeviceTaskClass(TDeviceTaskClass::CheckUM,
                                []() -> std::unique_ptr<TDeviceTaskBase> {
                                    throw Exception(QStringLiteral("страница не построена"));
                                });
    }

    TStoringTask &CreateStoringTask(TDevice &ADevice) {
        ADevice.CreateTask(ADevice.TaskList().Items(0));
        return *dynamic_cast<TStoringTask *>(ADevice.Task());
    }
    TStoringTask *StoringTask(int Index) const {
        return dynamic_cast<TStoringTask *>(FManager->Devices().Items(Index).Task());
    }
    QString FilePath(const QString &Name) const { return FDir.filePath(Name); }
    void WriteFile(const QString &Name, const QByteArray &Bytes) const {
        QFile file(FilePath(Name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Bytes);
    }
    static QByteArray ReadFile(const QString &Path) {
        QFile file(Path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A fresh catalog, as after a restart.
    TDevices &Restart() {
        FManager = std::make_unique<TAppManager>();
        return FManager->Devices();
    }

    QTemporaryDir FDir;
    std::unique_ptr<TAppManager> FManager = std::make_unique<TAppManager>();
};

struct TModelRow {
    QString Name;
    int ModelID;
    QStringList Tasks;
};

TEST_F(CatalogTest, ModelsInCatalogOrderWithTheirTasks) {
    const QStringList ostrel = {QStringLiteral("CheckFR"), QStringLiteral("UPdateFR"),
                                QStringLiteral("UpdateFM")};
    const std::vector<TModelRow> rows = {
        {QStringLiteral("ПТК Ostrel-01"), 24, ostrel},
        {QStringLiteral("ПТК Ostrel-02"), 23, ostrel},
        {QStringLiteral("ПТК Ostrel-03"), 26, ostrel},
        {QStringLiteral("ПТК Ostrel-04"), 25, ostrel},
        {QStringLiteral("ЗАРНИК-МИНИ-ПТК"), 51, ostrel},
        {QStringLiteral("ПТК Miradan-01K"), 22, ostrel},
        {QStringLiteral("ЗАРНИК-ФР-ПТК"), 52, ostrel},
        {QStringLiteral("ЗАРНИК-ФР-ПТК (Ровена)"), 53, ostrel},
        {QStringLiteral("ЛМО-Зарник-Вектор-ФР"), 53, ostrel},
        {QStringLiteral("TENGRA M40К"), 30, {QStringLiteral("UpdateFMNet")}},
        {QStringLiteral("TENGRA C40 MD"), 30, {QStringLiteral("UpdateFM")}},
        {QStringLiteral("SOLANT-ПТК"), 31, {QStringLiteral("UpdateFMNet")}},
        {QStringLiteral("MERIDO-01-ФА"), 255, {QStringLiteral("CheckUMSerial")}},
        {QStringLiteral("УМ"),
         100000,
         {QStringLiteral("CheckUM"), QStringLiteral("CheckUMSerial"), QStringLiteral("CheckUMRS"),
          QStringLiteral("CheckUMRSSerial")}},
        {QStringLiteral("ККТ с ФН"),
         1111,
         {QStringLiteral("CheckFNKKT"), QStringLiteral("CheckFNKKTSerial")}},
        {QStringLiteral("Зарник-Таб"), 100001, {QStringLiteral("SetRNDIS")}},
    };
    const TDevices &devices = FManager->Devices();
    ASSERT_EQ(devices.Count(), static_cast<int>(rows.size()));
    for (int i = 0; i < devices.Count(); ++i) {
        const TDevice &device = devices.Items(i);
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(device.Name(), rows[i].Name);
        EXPECT_EQ(device.ModelID(), rows[i].ModelID);
        QStringList tasks;
        for (int t = 0; t < device.TaskList().Count(); ++t)
            tasks << device.TaskList().Items(t).Name();
        EXPECT_EQ(tasks, rows[i].Tasks);
        EXPECT_EQ(device.Task(), nullptr);
        EXPECT_FALSE(device.TaskCreated());
    }
    // The look-alike letters: Latin K, Cyrillic К.
    EXPECT_EQ(devices.Items(5).Name().back(), QChar(0x004B));
    EXPECT_EQ(devices.Items(9).Name().back(), QChar(0x041A));
}

TEST_F(CatalogTest, TaskItemsCaptionsAndTaskClasses) {
    struct TItemRow {
        QString Name;
        QString Description;
        TDeviceTaskClass Class;
    };
    const std::vector<TItemRow> rows = {
        {QStringLiteral("CheckFR"), QStringLiteral("Проверка ПТК"), TDeviceTaskClass::CheckFR},
        {QStringLiteral("UPdateFR"), QStringLiteral("Обновление прошивки ПТК"),
         TDeviceTaskClass::WriteFRFlash},
        {QStringLiteral("UpdateFM"), QStringLiteral("Обновление прошивки ФП"),
         TDeviceTaskClass::WriteFMFlash},
        {QStringLiteral("UpdateFMNet"), QStringLiteral("Обновление прошивки ФП"),
         TDeviceTaskClass::WriteFMNetFlash},
        {QStringLiteral("CheckUM"), QStringLiteral("Проверка УМ (ОТК)"), TDeviceTaskClass::CheckUM},
        {QStringLiteral("CheckUMSerial"), QStringLiteral("Проверка УМ (ввод зав. номера)"),
         TDeviceTaskClass::CheckUMSerial},
        {QStringLiteral("CheckUMRS"), QStringLiteral("Проверка УМ без USB (ОТК)"),
         TDeviceTaskClass::CheckUMRS},
        {QStringLiteral("CheckUMRSSerial"),
         QStringLiteral("Проверка УМ без USB (ввод зав. номера)"),
         TDeviceTaskClass::CheckUMRSSerial},
        {QStringLiteral("CheckFNKKT"), QStringLiteral("Проверка ККT с ФН (ОТК)"),
         TDeviceTaskClass::CheckFNKKT},
        {QStringLiteral("CheckFNKKTSerial"), QStringLiteral("Проверка ККT с ФН (Ввод зав. номера)"),
         TDeviceTaskClass::CheckFNKKTSerial},
        {QStringLiteral("SetRNDIS"), QStringLiteral("Установка RNDIS"), TDeviceTaskClass::SetRNDIS},
    };
    std::map<QString, const TTaskListItem *> items;
    const TDevices &devices = FManager->Devices();
    for (int i = 0; i < devices.Count(); ++i)
        for (int t = 0; t < devices.Items(i).TaskList().Count(); ++t)
            items[devices.Items(i).TaskList().Items(t).Name()] =
                &devices.Items(i).TaskList().Items(t);
    ASSERT_EQ(items.size(), rows.size());
    for (const TItemRow &row : rows) {
        SCOPED_TRACE(row.Name.toStdString());
        ASSERT_TRUE(items.count(row.Name));
        EXPECT_EQ(items[row.Name]->Description(), row.Description);
        EXPECT_EQ(items[row.Name]->DeviceTaskClass(), row.Class);
    }
    // "ККT": the third letter is the Latin T.
    EXPECT_EQ(items[QStringLiteral("CheckFNKKT")]->Description().at(11), QLatin1Char('T'));
    const TTaskList &um = devices.Items(13).TaskList();
    QStringList captions;
    for (int t = 0; t < um.Count(); ++t)
        captions << um.Items(t).Description();
    EXPECT_EQ(captions, QStringList({QStringLiteral("Проверка УМ (ОТК)"),
                                     QStringLiteral("Проверка УМ (ввод зав. номера)"),
                                     QStringLiteral("Проверка УМ без USB (ОТК)"),
                                     QStringLiteral("Проверка УМ без USB (ввод зав. номера)")}));
}

TEST_F(CatalogTest, PasswordsOwnForTheTwoSharedNumberModelsOnly) {
    const TDevices &devices = FManager->Devices();
    for (int i = 0; i < devices.Count(); ++i) {
        const TDevice &device = devices.Items(i);
        SCOPED_TRACE(i + 1);
        const bool own = i == 7 || i == 8;
        const auto digits = [](int value) { return QString::number(value).size(); };
        EXPECT_EQ(digits(device.DefSysPassword()), own ? 5 : 2);
        EXPECT_EQ(digits(device.DefUserPassword()), own ? 4 : 1);
        EXPECT_EQ(digits(device.DefTaxPassword()), own ? 4 : 1);
    }
    EXPECT_EQ(devices.Items(0).DefSysPassword(), DefaultSysPassword);
    EXPECT_EQ(devices.Items(7).DefSysPassword(), devices.Items(8).DefSysPassword());
}

TEST_F(CatalogTest, ItemByModelIDFirstInCatalogOrderWins) {
    const TDevices &devices = FManager->Devices();
    EXPECT_EQ(devices.ItemByModelID(53), &devices.Items(7));
    EXPECT_EQ(devices.ItemByModelID(30), &devices.Items(9));
    EXPECT_EQ(devices.ItemByModelID(100001), &devices.Items(15));
    EXPECT_EQ(devices.ItemByModelID(0), nullptr);
    EXPECT_EQ(devices.ItemByModelID(-1), nullptr);
}

TEST_F(CatalogTest, CreateTaskReplacesTheTaskAndRaisesForAnUnavailableClass) {
    TDevice &device = FManager->Devices().Items(0);
    CreateStoringTask(device);
    EXPECT_TRUE(device.TaskCreated());
    EXPECT_EQ(TStoringTask::Alive, 1);
    CreateStoringTask(device);
    EXPECT_EQ(TStoringTask::Alive, 1) << "the previous task is freed";
    EXPECT_NE(device.Task(), nullptr);

    // Not built yet: a message for the operator, and the current task stays.
    TDeviceTaskBase *current = device.Task();
    try {
        device.CreateTask(device.TaskList().Items(1));
        ADD_FAILURE() << "no error";
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(),
                  QStringLiteral(
                      "Задача \"Обновление прошивки ПТК\" недоступна в этой версии программы"));
    }
    EXPECT_EQ(device.Task(), current);

    // A task that fails while it is built leaves no half-made task behind.
    TDevice &um = FManager->Devices().Items(13);
    EXPECT_THROW(um.CreateTask(um.TaskList().Items(0)), Exception);
    EXPECT_EQ(um.Task(), nullptr);
    EXPECT_FALSE(um.TaskCreated());
    FManager.reset();
    EXPECT_EQ(TStoringTask::Alive, 0) << "the catalog frees its tasks";
}

TEST_F(CatalogTest, SavedFileHoldsOneElementPerModelAndRoundTrips) {
    TDevices &devices = FManager->Devices();
    CreateStoringTask(devices.Items(0)).Value = QStringLiteral("/home/ПТК/fr.hex");
    CreateStoringTask(devices.Items(1)).Value = QStringLiteral("b.hex");
    const QString file = FilePath(QStringLiteral("Devices.xml"));
    devices.SaveToFile(file);

    const QDomElement root = XmlLoadDocument(file).documentElement();
    EXPECT_EQ(root.tagName(), QStringLiteral("Devices"));
    EXPECT_FALSE(root.hasAttributes());
    const QDomNodeList elements = root.childNodes();
    ASSERT_EQ(elements.count(), 16);
    const QDomElement first = elements.at(0).toElement();
    EXPECT_EQ(first.attribute(QStringLiteral("ModelID")), QStringLiteral("24"));
    EXPECT_EQ(first.attribute(QStringLiteral("Name")), QStringLiteral("ПТК Ostrel-01"));
    EXPECT_EQ(XmlReadString(XmlFindChild(XmlFindChild(first, QStringLiteral("Tasks")),
                                         QStringLiteral("CheckFR")),
                            FileNameElement, QString()),
              QStringLiteral("/home/ПТК/fr.hex"));
    for (int i = 2; i < 16; ++i) {
        EXPECT_EQ(elements.at(i).nodeName(), QStringLiteral("Device"));
        EXPECT_FALSE(elements.at(i).hasAttributes() || elements.at(i).hasChildNodes()) << i;
    }
    EXPECT_TRUE(ReadFile(file).startsWith(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Devices>\n  <Device"));

    // After a restart the state comes back once the task exists again.
    TDevices &restarted = Restart();
    restarted.LoadFromFile(file);
    EXPECT_EQ(restarted.Items(0).Task(), nullptr) << "loading alone builds nothing";
    TStoringTask &task = CreateStoringTask(restarted.Items(1));
    restarted.LoadFromFile(file);
    EXPECT_EQ(task.Value, QStringLiteral("b.hex"));
}

TEST_F(CatalogTest, SaveKeepsTheStoredStateOfModelsWithoutATaskInThisRun) {
    const QString file = FilePath(QStringLiteral("Devices.xml"));
    TDevices &devices = FManager->Devices();
    CreateStoringTask(devices.Items(0)).Value = QStringLiteral("one.hex");
    CreateStoringTask(devices.Items(1)).Value = QStringLiteral("two.hex");
    CreateStoringTask(devices.Items(8)).Value = QStringLiteral("vektor.hex");
    devices.SaveToFile(file);

    // Only model 2 is used after the restart.
    TDevices &restarted = Restart();
    restarted.LoadFromFile(file);
    TStoringTask &task = CreateStoringTask(restarted.Items(1));
    restarted.LoadFromFile(file);
    task.Value = QStringLiteral("two-new.hex");
    restarted.SaveToFile(file);
    const QByteArray once = ReadFile(file);
    restarted.SaveToFile(file);
    EXPECT_EQ(ReadFile(file), once) << "saving again changes nothing";

    TDevices &third = Restart();
    for (const int index : {0, 1, 8})
        CreateStoringTask(third.Items(index));
    third.LoadFromFile(file);
    EXPECT_EQ(StoringTask(0)->Value, QStringLiteral("one.hex"));
    EXPECT_EQ(StoringTask(1)->Value, QStringLiteral("two-new.hex"));
    // Model 9 shares its number with model 8, which gets the first element with that number.
    EXPECT_EQ(StoringTask(8)->Value, QStringLiteral("default"));
    const QDomNodeList elements = XmlLoadDocument(file).documentElement().childNodes();
    ASSERT_EQ(elements.count(), 16);
    EXPECT_EQ(elements.at(8).toElement().attribute(QStringLiteral("Name")),
              QStringLiteral("ЛМО-Зарник-Вектор-ФР"))
        << "kept in its own place";
}

TEST_F(CatalogTest, SharedNumberGoesToTheFirstModel) {
    WriteFile(QStringLiteral("Devices.xml"),
              "<Devices><Device ModelID=\"53\" Name=\"ЛМО-Зарник-Вектор-ФР\"><Tasks><CheckFR>"
              "<FileName>v.hex</FileName></CheckFR></Tasks></Device></Devices>");
    TDevices &devices = FManager->Devices();
    CreateStoringTask(devices.Items(7));
    CreateStoringTask(devices.Items(8));
    devices.LoadFromFile(FilePath(QStringLiteral("Devices.xml")));
    EXPECT_EQ(StoringTask(7)->Value, QStringLiteral("v.hex"));
    EXPECT_EQ(StoringTask(8)->Value, QStringLiteral("default"));
}

TEST_F(CatalogTest, BadDeviceElementsAreSkippedSilently) {
    WriteFile(
        QStringLiteral("Devices.xml"),
        "<Devices>"
        "<Device><Tasks><CheckFR><FileName>none</FileName></CheckFR></Tasks></Device>"
        "<Device "
        "ModelID=\"abc\"><Tasks><CheckFR><FileName>abc</FileName></CheckFR></Tasks></Device>"
        "<Device "
        "ModelID=\"999\"><Tasks><CheckFR><FileName>999</FileName></CheckFR></Tasks></Device>"
        "<Device ModelID=\"24\"/>"
        "<Other ModelID=\"23\"><Tasks><CheckFR><FileName>other</FileName></CheckFR></Tasks></Other>"
        "<Device "
        "ModelID=\"23\"><Tasks><CheckFR><FileName>good</FileName></CheckFR></Tasks></Device>"
        "</Devices>");
    TDevices &devices = FManager->Devices();
    CreateStoringTask(devices.Items(0));
    CreateStoringTask(devices.Items(1));
    const TLogCapture log;
    devices.LoadFromFile(FilePath(QStringLiteral("Devices.xml")));
    EXPECT_EQ(StoringTask(0)->Value, QStringLiteral("default")) << "no Tasks element";
    EXPECT_EQ(StoringTask(1)->Value, QStringLiteral("good"));
    EXPECT_EQ(log.Messages(), QStringList(QStringLiteral("[DEBUG] TDevices LoadFromFile(%1)")
                                              .arg(FilePath(QStringLiteral("Devices.xml")))));
}

TEST_F(CatalogTest, UnreadableFileGivesOneErrorLineAndAppliesNothing) {
    const std::vector<std::pair<QString, QByteArray>> files = {
        {QStringLiteral("wrong-root.xml"),
         "<Params><Device ModelID=\"24\"><Tasks><CheckFR><FileName>x</FileName></CheckFR></Tasks>"
         "</Device></Params>"},
        {QStringLiteral("broken.xml"), "<Devices><Device ModelID=\"24\">"},
    };
    TDevices &devices = FManager->Devices();
    TStoringTask &task = CreateStoringTask(devices.Items(0));
    for (const auto &[name, bytes] : files) {
        SCOPED_TRACE(name.toStdString());
        WriteFile(name, bytes);
        const TLogCapture log;
        devices.LoadFromFile(FilePath(name));
        EXPECT_EQ(task.Value, QStringLiteral("default"));
        EXPECT_EQ(
            log.Messages(),
            QStringList({QStringLiteral("[DEBUG] TDevices LoadFromFile(%1)").arg(FilePath(name)),
                         QStringLiteral("[ERROR] TDevices Ошибка чтения XML ") + FilePath(name)}));
    }
    const TLogCapture log;
    devices.LoadFromFile(FilePath(QStringLiteral("missing.xml")));
    EXPECT_EQ(log.Messages().size(), 1) << "a missing file is not reported";
}

TEST_F(CatalogTest, FailedSaveRaisesAndKeepsTheOldFile) {
    const QString file = FilePath(QStringLiteral("Devices.xml"));
    TDevices &devices = FManager->Devices();
    CreateStoringTask(devices.Items(0)).Value = QStringLiteral("old.hex");
    devices.SaveToFile(file);
    const QByteArray old = ReadFile(file);
    StoringTask(0)->Value = QString(4000, QLatin1Char('n'));
    {
        const TFileSizeLimit limit(2000);
        EXPECT_THROW(devices.SaveToFile(file), Exception);
    }
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files), QStringList(QStringLiteral("Devices.xml")))
        << "no temporary file is left behind";

    WriteFile(QStringLiteral("folder"), "a file where a folder should be");
    EXPECT_THROW(devices.SaveToFile(FilePath(QStringLiteral("folder/Devices.xml"))), Exception);
}

} // namespace
