#pragma once

#include <QDomElement>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class TPage;

// OnNext and OnPvev of a page; the page is the sender.
using TPageEvent = std::function<void(TPage &Sender)>;

// A step of the wizard: a borderless form the main window docks into its site. Its window title
// is the step title of the header and the steps list.
class TPage : public QWidget {
    Q_OBJECT

public:
    explicit TPage(QWidget *AOwner = nullptr);

    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString &Value) { setWindowTitle(Value); }

    // Stops the page's running work and waits for it.
    virtual bool Cancel();
    virtual void Initialize();
    // Raising here keeps the wizard on the page; the silent abort keeps it there without a box.
    virtual void Next();
    virtual void Prev();
    // Called on every show and refresh of the page, so it must be safe to repeat.
    virtual void Run();
    // Node is the owning task's element, shared by all its pages.
    virtual void SaveToXML(QDomElement Node);
    virtual void LoadFromXML(QDomElement Node);
    virtual bool QueryNext();
    virtual bool QueryPrev();

    const TPageEvent &OnPvev() const { return FOnPrev; }
    void SetOnPvev(TPageEvent Value) { FOnPrev = std::move(Value); }
    const TPageEvent &OnNext() const { return FOnNext; }
    void SetOnNext(TPageEvent Value) { FOnNext = std::move(Value); }
    bool GoNext() const { return FGoNext; }
    void SetGoNext(bool Value) { FGoNext = Value; }
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value) { FImageIndex = Value; }

protected:
    // Show handlers of pages run here; restoring a minimised window does not count as a show.
    void showEvent(QShowEvent *Event) override;
    virtual void DoShow() {}

    TPageEvent FOnPrev;
    TPageEvent FOnNext;
    bool FGoNext = true;
    // Stop request for pages that poll in a loop.
    bool FStop = false;
    int FImageIndex = 0;
};

// The pages of one task in step order; destroying the list destroys the pages.
class TPages {
public:
    TPages() = default;
    TPages(const TPages &) = delete;
    TPages &operator=(const TPages &) = delete;

    template <class T>
    T *Add(std::unique_ptr<T> APage) {
        T *Result = APage.get();
        FItems.push_back(std::move(APage));
        return Result;
    }
    int Count() const { return static_cast<int>(FItems.size()); }
    TPage *Items(int Index) const { return FItems.at(static_cast<std::size_t>(Index)).get(); }
    bool ValidIndex(int Value) const { return Value >= 0 && Value < Count(); }
    void Initialize();

    // The first page of class T or of a class derived from it.
    template <class T>
    T *ItemByType() const {
        for (const auto &Page : FItems)
            if (auto *Found = dynamic_cast<T *>(Page.get()))
                return Found;
        return nullptr;
    }

private:
    std::vector<std::unique_ptr<TPage>> FItems;
};
