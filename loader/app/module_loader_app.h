#pragma once
// The module loader's application object: answers the host's application messages. The
// framework base registers and removes the module loader's one command; this class adds the
// single-instance guard, the application lock, the start-up sequence, the per-drawing
// AutoLISP functions and the clean-up at quit.
#include <cadhost/arx_app.h>
#include <cadhost/data_manager.h>

#include <functional>
#include <span>

#include "runtime/loader_context.h"

namespace qm {

// One AutoLISP function of the table. A null name would be taken from the string table by
// resourceId; both entries here carry their names.
struct LispEntry {
    const char* name;
    int (*handler)();
    bool registerWithHost;  // call acedRegFunc for it
    int resourceId;
};

// Per-drawing record; the module loader keeps nothing per drawing.
struct CDocData {};

class CQmModuleLoaderApp : public AcRxArxApp {
public:
    // command: the host-callable handler of the module loader command (it reaches this object
    // through whoever owns it). startup: the start-up sequence, run at the end of a successful
    // initialisation; its outcome never changes the result.
    CQmModuleLoaderApp(AcRxFunctionPtr command, std::function<void(LoaderContext&)> startup);
    ~CQmModuleLoaderApp() override;

    AcRx::AppRetCode On_kInitAppMsg(void* pkt) override;
    AcRx::AppRetCode On_kLoadDwgMsg(void* pkt) override;
    AcRx::AppRetCode On_kUnloadDwgMsg(void* pkt) override;
    AcRx::AppRetCode On_kInvkSubrMsg(void* pkt) override;
    AcRx::AppRetCode On_kQuitMsg(void* pkt) override;

    LoaderContext& context() { return context_; }
    static std::span<const LispEntry> lispTable();

protected:
    std::span<const cadhost::ArxCommandEntry> commandTable() const override;

private:
    cadhost::ArxCommandEntry command_;
    std::function<void(LoaderContext&)> startup_;
    LoaderContext context_;
    AcApDataManager<CDocData> docData_;
};

}  // namespace qm
