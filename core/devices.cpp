#include "core/devices.h"

#include "core/errors.h"
#include "core/xmlutils.h"

#include <QFileInfo>

namespace {

const QString DevicesElement = QStringLiteral("Devices");
const QString DeviceElement = QStringLiteral("Device");
const QString TasksElement = QStringLiteral("Tasks");
const QString ModelIDAttribute = QStringLiteral("ModelID");
const QString NameAttribute = QStringLiteral("Name");

// The own passwords of the two models sold under another brand.
constexpr int BelSysPassword = 54321;
constexpr int BelUserPassword = 1234;
constexpr int BelTaxPassword = 4321;

} // namespace

TDevice::TDevice(int AModelID, QString AName)
    : FModelID(AModelID)
    , FName(std::move(AName))
    , FDefSysPassword(DefaultSysPassword)
    , FDefUserPassword(DefaultUserPassword)
    , FDefTaxPassword(DefaultTaxPassword) {}

void TDevice::SetPasswords(int ASysPassword, int AUserPassword, int ATaxPassword) {
    FDefSysPassword = ASysPassword;
    FDefUserPassword = AUserPassword;
    FDefTaxPassword = ATaxPassword;
}

void TDevice::CreateTask(const TTaskListItem &Item) {
    const TDeviceTaskFactory *factory = FindDeviceTaskFactory(Item.DeviceTaskClass());
    if (factory == nullptr || !*factory)
        throw Exception(QStringLiteral("Задача \"%1\" недоступна в этой версии программы")
                            .arg(Item.Description()));
    FTask.reset();
    FTask = (*factory)();
    FTaskCreated = true;
}

void TDevice::LoadFromXML(const QDomElement &ANode) {
    if (!FTask)
        return;
    XmlCheckNodeFound(ANode);
    const QDomElement tasks = XmlFindChild(ANode, TasksElement);
    XmlCheckNodeFound(tasks, TasksElement);
    FTask->LoadFromXML(tasks);
}

void TDevice::SaveToXML(QDomElement ANode) {
    if (!FTask)
        return;
    XmlCheckNodeFound(ANode);
    ANode.setAttribute(ModelIDAttribute, QString::number(FModelID));
    ANode.setAttribute(NameAttribute, FName);
    FTask->SaveToXML(
        ANode.appendChild(ANode.ownerDocument().createElement(TasksElement)).toElement());
}

TOstrelDevice::TOstrelDevice(int AModelID, QString AName)
    : TDevice(AModelID, std::move(AName)) {
    FTaskList.Clear();
    FTaskList.Add<TCheckFRTaskListItem>();
    FTaskList.Add<TUpdateFRTaskListItem>();
    FTaskList.Add<TUpdateFMTaskListItem>();
}

TOstrel01Device::TOstrel01Device()
    : TOstrelDevice(24, QStringLiteral("ПТК Ostrel-01")) {}

TOstrel02Device::TOstrel02Device()
    : TOstrelDevice(23, QStringLiteral("ПТК Ostrel-02")) {}

TOstrel03Device::TOstrel03Device()
    : TOstrelDevice(26, QStringLiteral("ПТК Ostrel-03")) {}

TOstrel04Device::TOstrel04Device()
    : TOstrelDevice(25, QStringLiteral("ПТК Ostrel-04")) {}

TMINIPTKDevice::TMINIPTKDevice()
    : TOstrelDevice(51, QStringLiteral("ЗАРНИК-МИНИ-ПТК")) {}

// The last letter is the Latin K.
TMiradan01KDevice::TMiradan01KDevice()
    : TOstrelDevice(22, QStringLiteral("ПТК Miradan-01K")) {}

TZarnikFRPTKDevice::TZarnikFRPTKDevice()
    : TOstrelDevice(52, QStringLiteral("ЗАРНИК-ФР-ПТК")) {}

TZarnikFRPTKBelDevice::TZarnikFRPTKBelDevice()
    : TOstrelDevice(53, QStringLiteral("ЗАРНИК-ФР-ПТК (Ровена)")) {
    SetPasswords(BelSysPassword, BelUserPassword, BelTaxPassword);
}

// Shares its model number with the model before it, which wins every look-up by number.
TLMOZarnikVektorDevice::TLMOZarnikVektorDevice()
    : TOstrelDevice(53, QStringLiteral("ЛМО-Зарник-Вектор-ФР")) {
    SetPasswords(BelSysPassword, BelUserPassword, BelTaxPassword);
}

// The last letter is the Cyrillic К.
TTM40KDevice::TTM40KDevice()
    : TDevice(30, QStringLiteral("TENGRA M40К")) {
    FTaskList.Clear();
    FTaskList.Add<TUpdateFMNetTaskListItem>();
}

TTC40MDDevice::TTC40MDDevice()
    : TDevice(30, QStringLiteral("TENGRA C40 MD")) {
    FTaskList.Clear();
    FTaskList.Add<TUpdateFMTaskListItem>();
}

TSOLANTDevice::TSOLANTDevice()
    : TDevice(31, QStringLiteral("SOLANT-ПТК")) {
    FTaskList.Clear();
    FTaskList.Add<TUpdateFMNetTaskListItem>();
}

TMerido01FADevice::TMerido01FADevice()
    : TDevice(255, QStringLiteral("MERIDO-01-ФА")) {
    FTaskList.Clear();
    FTaskList.Add<TCheckUMSerialTaskListItem>();
}

TUMDevice::TUMDevice()
    : TDevice(100000, QStringLiteral("УМ")) {
    FTaskList.Clear();
    FTaskList.Add<TCheckUMTaskListItem>();
    FTaskList.Add<TCheckUMSerialTaskListItem>();
    FTaskList.Add<TCheckUMRSTaskListItem>();
    FTaskList.Add<TCheckUMRSSerialTaskListItem>();
}

TFNKKTDevice::TFNKKTDevice()
    : TDevice(1111, QStringLiteral("ККТ с ФН")) {
    FTaskList.Clear();
    FTaskList.Add<TCheckFNKKTTaskListItem>();
    FTaskList.Add<TCheckFNKKTSerialTaskListItem>();
}

TZarnikTABDevice::TZarnikTABDevice()
    : TDevice(100001, QStringLiteral("Зарник-Таб")) {
    FTaskList.Clear();
    FTaskList.Add<TSetRNDISTaskListItem>();
}

TDevices::TDevices()
    : FLogger(QStringLiteral("TDevices")) {}

TDevice *TDevices::ItemByModelID(int AModelID) const {
    for (const auto &device : FItems)
        if (device->ModelID() == AModelID)
            return device.get();
    return nullptr;
}

void TDevices::LoadFromFile(const QString &FileName) {
    FLogger.Debug(QStringLiteral("LoadFromFile(%1)").arg(FileName));
    FDocument = QDomDocument();
    FDevicesNode = QDomElement();
    if (!QFileInfo::exists(FileName))
        return;
    try {
        QDomDocument document = XmlLoadDocument(FileName);
        const QDomElement root = XmlFindDocChild(document, DevicesElement);
        XmlCheckNodeFound(root);
        FDocument = document;
        FDevicesNode = root;
        for (QDomElement node = root.firstChildElement(); !node.isNull();
             node = node.nextSiblingElement()) {
            if (node.tagName() != DeviceElement)
                continue;
            // A bad element only costs that model its stored state.
            try {
                bool ok = false;
                const int modelID = XmlReadAttribute(node, ModelIDAttribute).toInt(&ok, 10);
                TDevice *device = ok ? ItemByModelID(modelID) : nullptr;
                if (device != nullptr)
                    device->LoadFromXML(node);
            } catch (const std::exception &) {
            }
        }
    } catch (const std::exception &) {
        FLogger.Error(QStringLiteral("Ошибка чтения XML ") + FileName);
    }
}

QDomElement TDevices::StoredElementOf(const TDevice &ADevice) const {
    for (QDomElement node = FDevicesNode.firstChildElement(DeviceElement); !node.isNull();
         node = node.nextSiblingElement(DeviceElement)) {
        bool ok = false;
        const int modelID = node.attribute(ModelIDAttribute).toInt(&ok, 10);
        if (ok && modelID == ADevice.ModelID() && node.attribute(NameAttribute) == ADevice.Name())
            return node;
    }
    return {};
}

void TDevices::SaveToFile(const QString &FileName) {
    QDomDocument document = XmlNewDocument();
    QDomElement root = document.appendChild(document.createElement(DevicesElement)).toElement();
    for (const auto &device : FItems) {
        // A model whose task was not built in this run keeps what it stored before.
        const QDomElement stored = device->Task() ? QDomElement() : StoredElementOf(*device);
        if (!stored.isNull()) {
            root.appendChild(document.importNode(stored, true));
            continue;
        }
        device->SaveToXML(root.appendChild(document.createElement(DeviceElement)).toElement());
    }
    XmlSaveDocument(document, FileName);
    FDocument = document;
    FDevicesNode = root;
}
