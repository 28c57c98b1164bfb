#include "core/appparams.h"

#include "core/errors.h"
#include "core/xmlutils.h"
#include "platform/process.h"

#include <QDir>

namespace {

const QString ParamsElement = QStringLiteral("Params");
const QString LastDeviceIDElement = QStringLiteral("LastDeviceID");
const QString LastDeviceTaskElement = QStringLiteral("LastDeviceTask");
const QString UserNameElement = QStringLiteral("UserName");

} // namespace

TAppParams::TAppParams()
    : FLogger(QStringLiteral("TAppParams")) {}

void TAppParams::SetDefaults() {
    FLastDeviceID = 0;
}

// The configuration folder itself may not exist yet for a new user, so the whole path is made.
QString TAppParams::GetParamsFileName() {
    const QString folder = platform::UserConfigFolder() + QStringLiteral("/ZARNIK/Kalibra");
    if (!QDir().mkpath(folder))
        throw Exception(QStringLiteral("Не удалось создать папку \"%1\"").arg(folder));
    return folder + QStringLiteral("/Params.xml");
}

void TAppParams::Load() {
    SetDefaults();
    try {
        const QString fileName = GetParamsFileName();
        FLogger.Debug(QStringLiteral("LoadFromFile(%1)").arg(fileName));
        const QDomDocument document = XmlLoadDocument(fileName);
        const QDomElement root = XmlFindDocChild(document, ParamsElement);
        if (root.isNull())
            return;
        FLastDeviceID = XmlReadInt(root, LastDeviceIDElement, 0);
        FLastDeviceTask = XmlReadInt(root, LastDeviceTaskElement, 0);
        FUserName = XmlReadString(root, UserNameElement, QString());
    } catch (const std::exception &e) {
        SetDefaults();
        FLogger.Error(QStringLiteral("Не удалось прочитать параметры: ") + ExceptionMessage(e));
    }
}

void TAppParams::Save() {
    try {
        const QString fileName = GetParamsFileName();
        FLogger.Debug(QStringLiteral("SaveToFile(%1)").arg(fileName));
        QDomDocument document = XmlNewDocument();
        const QDomElement root =
            document.appendChild(document.createElement(ParamsElement)).toElement();
        XmlWriteValue(root, LastDeviceIDElement, QString::number(FLastDeviceID));
        XmlWriteValue(root, LastDeviceTaskElement, QString::number(FLastDeviceTask));
        XmlWriteValue(root, UserNameElement, FUserName);
        XmlSaveDocument(document, fileName);
    } catch (const std::exception &e) {
        FLogger.Error(QStringLiteral("Не удалось записать параметры: ") + ExceptionMessage(e));
    }
}

TAppParams &AppParams() {
    static TAppParams params;
    return params;
}
