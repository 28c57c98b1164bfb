#include "work/devicetask.h"

#include "core/xmlutils.h"
#include "ui/uicontroller.h"

#include <QDomDocument>

TDeviceTask::TDeviceTask() {
    Initialize();
}

TDeviceTask::~TDeviceTask() = default;

void TDeviceTask::Initialize() {}

void TDeviceTask::Start() {}

void TDeviceTask::BeginPages() {
    UIController().SetAppCaption(QStringLiteral("[") + FDescription + QStringLiteral("]"));
}

QDomElement TDeviceTask::TaskElement(QDomElement ANode) const {
    QDomElement Element = XmlFindChild(ANode, FName);
    if (Element.isNull())
        Element = ANode.appendChild(ANode.ownerDocument().createElement(FName)).toElement();
    return Element;
}

void TDeviceTask::LoadFromXML(QDomElement ANode) {
    const QDomElement Element = TaskElement(ANode);
    for (int Index = 0; Index < FPages.Count(); ++Index)
        FPages.Items(Index)->LoadFromXML(Element);
}

void TDeviceTask::SaveToXML(QDomElement ANode) {
    const QDomElement Element = TaskElement(ANode);
    for (int Index = 0; Index < FPages.Count(); ++Index)
        FPages.Items(Index)->SaveToXML(Element);
}

void TDeviceTask::InformationLink(const QString &Target) {
    if (Target == QStringLiteral("Next"))
        UIController().Next();
}
