#include "ui/win32/options_dialog.h"

#include <qmenv/environment.h>

#include <system_error>

#include "environment/names.h"
#include "runtime/loader_context.h"
#include "ui/logic/resource_strings.h"
#include "ui/win32/win32_text.h"

namespace qm::ui::win32 {
namespace {

constexpr UINT kFillDone = WM_APP + 0x142;

}  // namespace

OptionsDialog::OptionsDialog(LoaderContext& context, std::string versionText)
    : DialogWindow(kDialogOptions), context_(context), versionText_(std::move(versionText)) {}

OptionsDialog::~OptionsDialog() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

void OptionsDialog::onInit() {
    list_ = std::make_unique<CheckList>(control(kIdModuleList));
    SetWindowTextW(control(kIdVersion), Widen(versionText_).c_str());
    // The list's items are as high as its check boxes need; the measure message came before
    // the list was known, so the height is set now.
    MEASUREITEMSTRUCT measure{};
    list_->measure(measure);
    SendMessageW(list_->hwnd(), LB_SETITEMHEIGHT, 0, static_cast<LPARAM>(measure.itemHeight));
    SetFocus(list_->hwnd());
    startFill();
}

std::vector<OptionsCheck> OptionsDialog::currentChecks() const {
    std::vector<OptionsCheck> checks;
    for (int i = 0; i < list_->count(); ++i) {
        checks.push_back({list_->key(i), list_->checked(i)});
    }
    return checks;
}

void OptionsDialog::setBusy(bool busy) {
    ShowWindow(control(kIdPleaseWait), busy ? SW_SHOW : SW_HIDE);
    for (int id : {kIdRefresh, kIdOk, kIdCancel}) {
        EnableWindow(control(id), busy ? FALSE : TRUE);
    }
    if (busy) {
        savedCursor_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    } else if (savedCursor_ != nullptr) {
        SetCursor(savedCursor_);
        savedCursor_ = nullptr;
    }
}

void OptionsDialog::startFill() {
    if (filling_) {
        return;
    }
    filling_ = true;
    setBusy(true);
    UpdateWindow(control(kIdPleaseWait));
    // The checks go to the worker; the list empties now and shows the worker's result later.
    std::vector<OptionsCheck> checks = currentChecks();
    list_->clear();
    if (worker_.joinable()) {
        worker_.join();
    }
    LoaderContext* context = &context_;
    const HWND dialog = hwnd();
    auto handOver = [this, dialog](FillResult result) {
        {
            std::lock_guard lock(resultMutex_);
            result_ = std::move(result);
        }
        PostMessageW(dialog, kFillDone, 0, 0);
    };
    try {
        worker_ = std::thread([context, handOver, checks = std::move(checks)]() {
            FillResult result;
            try {
                StoreOptionChecks(context->modules(), checks, &context->log(),
                                  &context->feedback());
                result.items = ListOptionItems(context->modules(), context->baseModuleKey());
            } catch (...) {
                // Shown, not swallowed: the list then says "Internal error. Try again."
                result.items.clear();
                result.failed = true;
            }
            handOver(std::move(result));
        });
    } catch (const std::system_error&) {
        handOver(FillResult{{}, true});
    }
}

void OptionsDialog::finishFill() {
    FillResult result;
    {
        std::lock_guard lock(resultMutex_);
        if (!result_) {
            return;
        }
        result = std::move(*result_);
        result_.reset();
    }
    if (worker_.joinable()) {
        worker_.join();  // it ends right after handing over
    }
    list_->clear();
    SendMessageW(list_->hwnd(), WM_SETREDRAW, FALSE, 0);
    if (result.failed) {
        list_->addPlain(ResourceString(StringId::OptionsInternalError));
    } else {
        for (const OptionsItem& item : result.items) {
            list_->add(item.name, item.key, item.checked, item.enabled);
        }
    }
    SendMessageW(list_->hwnd(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_->hwnd(), nullptr, TRUE);
    filling_ = false;
    setBusy(false);
}

void OptionsDialog::onCommand(int id, int code, HWND) {
    if (code != BN_CLICKED && code != 0) {
        return;
    }
    switch (id) {
        case kIdOk:
            if (!filling_) {
                const std::vector<OptionsCheck> checks = currentChecks();
                list_->clear();
                StoreOptionChecks(context_.modules(), checks, &context_.log(),
                                  &context_.feedback());
                EndDialog(hwnd(), IDOK);
            }
            break;
        case kIdCancel:
            if (!filling_) {
                EndDialog(hwnd(), IDCANCEL);
            }
            break;
        case kIdHelp:
            QmEnHelp(names::kHelpTopic, names::kHelpName);
            break;
        case kIdRefresh:
            startFill();
            break;
        default:
            break;
    }
}

INT_PTR OptionsDialog::onMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    switch (message) {
        case kFillDone:
            finishFill();
            return TRUE;
        case kDialogBusy:
            SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, filling_ ? 1 : 0);
            return TRUE;
        case WM_MEASUREITEM: {
            auto& measure = *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            if (list_ != nullptr) {
                list_->measure(measure);
            } else {
                measure.itemHeight = 17;
            }
            return TRUE;
        }
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item.CtlType == ODT_LISTBOX && list_ != nullptr) {
                list_->draw(item);
                return TRUE;
            }
            break;
        }
        case WM_SETCURSOR:
            if (filling_) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            break;
        case WM_CLOSE:
            if (filling_) {
                return TRUE;  // not while filling
            }
            break;
        default:
            break;
    }
    (void)wParam;
    handled = false;
    return FALSE;
}

}  // namespace qm::ui::win32
