#pragma once

#include "core/devicetaskbase.h"

#include <QString>
#include <memory>
#include <vector>

// One task a model offers: its identifier, its caption in the task list and the task it creates.
class TTaskListItem {
public:
    TTaskListItem(QString AName, QString ADescription, TDeviceTaskClass ADeviceTaskClass);
    virtual ~TTaskListItem() = default;

    const QString &Name() const { return FName; }
    const QString &Description() const { return FDescription; }
    TDeviceTaskClass DeviceTaskClass() const { return FDeviceTaskClass; }

private:
    QString FName;
    QString FDescription;
    TDeviceTaskClass FDeviceTaskClass;
};

class TCheckFRTaskListItem : public TTaskListItem {
public:
    TCheckFRTaskListItem();
};

class TUpdateFRTaskListItem : public TTaskListItem {
public:
    TUpdateFRTaskListItem();
};

class TUpdateFMTaskListItem : public TTaskListItem {
public:
    TUpdateFMTaskListItem();
};

class TUpdateFMNetTaskListItem : public TTaskListItem {
public:
    TUpdateFMNetTaskListItem();
};

class TCheckUMTaskListItem : public TTaskListItem {
public:
    TCheckUMTaskListItem();
};

class TCheckUMSerialTaskListItem : public TTaskListItem {
public:
    TCheckUMSerialTaskListItem();
};

class TCheckUMRSTaskListItem : public TTaskListItem {
public:
    TCheckUMRSTaskListItem();
};

class TCheckUMRSSerialTaskListItem : public TTaskListItem {
public:
    TCheckUMRSSerialTaskListItem();
};

class TCheckFNKKTTaskListItem : public TTaskListItem {
public:
    TCheckFNKKTTaskListItem();
};

class TCheckFNKKTSerialTaskListItem : public TTaskListItem {
public:
    TCheckFNKKTSerialTaskListItem();
};

class TSetRNDISTaskListItem : public TTaskListItem {
public:
    TSetRNDISTaskListItem();
};

// The tasks of one model in the order the operator sees them; owns its items.
class TTaskList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    const TTaskListItem &Items(int Index) const { return *FItems.at(static_cast<size_t>(Index)); }
    void Add(std::unique_ptr<TTaskListItem> AItem) { FItems.push_back(std::move(AItem)); }
    template <class TItem>
    void Add() {
        Add(std::make_unique<TItem>());
    }
    void Clear() { FItems.clear(); }

private:
    std::vector<std::unique_ptr<TTaskListItem>> FItems;
};
