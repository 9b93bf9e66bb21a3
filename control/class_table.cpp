#include "control/class_table.h"

#include "control/QuorComDlg.h"
#include "control/ids.h"

namespace qcd {

std::span<const ClassRow> ClassTable() {
    static const ClassRow kClasses[] = {
        {CLSID_QuorComDlg, CreateQuorComDlg, L"QuorComDlg Control", kProgId, kProgIdVersioned,
         true},
    };
    return kClasses;
}

const ClassRow* FindClass(REFCLSID clsid) {
    for (const ClassRow& row : ClassTable())
        if (IsEqualCLSID(row.clsid, clsid)) return &row;
    return nullptr;
}

}  // namespace qcd
