#pragma once

#include "core/devicetaskbase.h"
#include "ui/page.h"

#include <QDomElement>
#include <QString>

// Base of the tasks the operator chooses: owns the task's pages in step order, wires them up and
// stores their input under the task's own element of the model's "Tasks" element.
//
// A concrete task's constructor sets Name and Description (and IsStepsAllowed where the steps
// list is wanted), then builds its pages: BeginPages writes the caption, then for each step it
// creates the page without owner, sets caption, ImageIndex, its configuration and OnNext, and
// appends it with AddPage. Tasks are registered with the catalog by RegisterDeviceTaskClass.
class TDeviceTask : public TDeviceTaskBase {
public:
    TDeviceTask();
    ~TDeviceTask() override;
    TDeviceTask(const TDeviceTask &) = delete;
    TDeviceTask &operator=(const TDeviceTask &) = delete;

    virtual void Initialize();
    void LoadFromXML(QDomElement ANode) override;
    void SaveToXML(QDomElement ANode) override;
    // Called by the controller after every move to a page.
    virtual void Start();

    bool IsStepsAllowed() const { return FIsStepsAllowed; }
    TPages &Pages() { return FPages; }
    const TPages &Pages() const { return FPages; }
    const QString &Description() const { return FDescription; }
    const QString &Name() const { return FName; }

    // Link handler of information pages: the target "Next" (exactly) acts like the Next button.
    static void InformationLink(const QString &Target);

protected:
    void SetIsStepsAllowed(bool Value) { FIsStepsAllowed = Value; }
    void SetDescription(const QString &Value) { FDescription = Value; }
    void SetName(const QString &Value) { FName = Value; }
    // Shows "[" + Description + "]" in the window caption while the pages are built.
    void BeginPages();
    template <class T>
    T *AddPage(std::unique_ptr<T> APage) {
        return FPages.Add(std::move(APage));
    }

private:
    // The task's own element under ANode, appended when missing.
    QDomElement TaskElement(QDomElement ANode) const;

    bool FIsStepsAllowed = false;
    TPages FPages;
    QString FDescription;
    QString FName;
};
