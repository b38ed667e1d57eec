#include <string>

#include "app/main_window.h"
#include "keywords/keyword_store.h"
#include "platform/error.h"

namespace vt {

void Form1::SaveKeywords() {
    if (!keywordListLoaded_) {
        throw AppError(err::kSettingUnreadable, "Form1",
                       L"The keyword list could not be read at start-up, so it is not saved "
                       L"over the stored one");
    }
    Registry::SaveKeywordList(settings_, ListView1);
}

void Form1::Check1_Click() {
    if (!Check1.Pushed()) {
        return;
    }
    try {
        const std::wstring text = Text1.Text();
        if (!text.empty()) {
            // The list, the store and every window title speak the ANSI code page: a letter it
            // lacks would become another, or a '?' that stands for every such letter of a title.
            if (!ToAnsiExactly(platform_.text, text)) {
                throw AppError(err::kKeywordNotInCodePage, "Check1_Click",
                               L"The keyword cannot be stored because it holds characters that "
                               L"this system's code page cannot represent");
            }
            // Stored, it would come back cut or would spoil the keyword after it.
            if (!Registry::IsStorable(text)) {
                throw AppError(err::kKeywordNotStorable, "Check1_Click",
                               L"The keyword cannot be stored because it contains, or ends with "
                               L"the start of, the text \"||||||||---|||\"");
            }
            ListView1.Add(text);
            Text1.SetText(L"");
        }
        SaveKeywords();
    } catch (...) {
        const std::wstring description = CurrentErrorDescription(platform_.text);
        ShowMessage(L"ERROR while adding a keyword (" + Text1.Text() + L") - " + description);
    }
}

void Form1::Check3_Click() {
    if (!Check3.Pushed()) {
        return;
    }
    RemoveSelectedKeyword();
}

void Form1::Check4_Click() {
    if (!Check4.Pushed()) {
        return;
    }
    try {
        if (ListView1.Count() > 0) {
            // Yes, the first button, is the default.
            const std::int32_t answer =
                ShowMessage(L"Are you sure you want to clear list?", MB_YESNO | MB_ICONQUESTION);
            if (ended_) {
                return;  // closed while the question was open
            }
            if (answer == IDYES) {
                ListView1.Clear();
            }
        }
        SaveKeywords();
    } catch (...) {
        ShowMessage(L"ERROR while clearing keyword list - " +
                    CurrentErrorDescription(platform_.text));
    }
}

void Form1::ListView1_Click() {
    try {
        Text1.SetText(ListView1.Item(ListView1.SelectedIndex()));
    } catch (...) {
    }
}

void Form1::ListView1_DblClick() {
    RemoveSelectedKeyword();
}

void Form1::RemoveSelectedKeyword() noexcept {
    try {
        ListView1.Remove(ListView1.SelectedIndex());
    } catch (...) {
    }
    try {
        SaveKeywords();
    } catch (...) {
    }
}

}  // namespace vt
