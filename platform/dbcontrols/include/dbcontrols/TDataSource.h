#pragma once

#include <QObject>

#include <vector>

namespace desktopdb {
class Table;
}

namespace dbcontrols {

// A data-aware control's side of the link to its data source.
class TDataLink {
public:
    virtual ~TDataLink() = default;
    // The current row or the table changed: show the field again.
    virtual void DataChanged() = 0;
    // Write a pending value into the row; raises when it does not fit.
    virtual void UpdateRecord() = 0;
};

// Links data-aware controls to one table. The table does not report its
// own moves, so whoever moves it or changes its rows calls DataChanged();
// the linked controls then show the current row again. Edit() and Post()
// go through the data source so that the controls take part: Post() first
// lets every linked control write its pending value into the row.
class TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(QObject *owner = nullptr);
    ~TDataSource() override;

    desktopdb::Table *GetDataSet() const { return FDataSet; }
    // The table must outlive the data source or be unlinked first.
    void SetDataSet(desktopdb::Table *dataSet);

    // True when the table is active and in edit or insert state.
    bool Editing() const;

    // Puts the current row into edit state when the table is browsing;
    // raises desktopdb::DesktopDbError when the table cannot edit.
    void Edit();
    // Writes the linked controls' pending values and posts the row. When a
    // control's value does not fit, the failure is raised and the row stays
    // in edit state with nothing lost.
    void Post();
    // Drops the pending edit and shows the stored values again.
    void Cancel();
    // Tells the linked controls to show the current row.
    void DataChanged();

    void AddLink(TDataLink *link);
    void RemoveLink(TDataLink *link);

private:
    desktopdb::Table *FDataSet = nullptr;
    std::vector<TDataLink *> FLinks;
};

} // namespace dbcontrols
