#pragma once
// The string table: the application title and the tool tips, keyed like
// Windows string resources. A command's or control's tip has the command's or
// control's id as its string id.

#include <string_view>

#include "res/ResourceIds.h"

namespace vantrel::res {

struct StringResource {
  int id;
  std::string_view text;
};

inline constexpr StringResource kStringTable[] = {
    {IDC_OTHERS, "Others"},
    {IDC_HISTORY_NEXT, "Next"},
    {IDC_HISTORY_PREV, "Previous"},
    {IDC_HISTORY_DELETE, "Delete"},
    {ID_MESSAGE_SEND, "Send"},
    {ID_MESSAGE_DELETE, "Delete"},
    {ID_MESSAGE_PREVIOUS, "Previous"},
    {ID_MESSAGE_NEXT, "Next"},
    {ID_MESSAGE_DELETE_ALL, "Delete All"},
    {ID_MESSAGE_RESPONSE, "Response"},
    {IDS_APP_TITLE, "Tessivane"},
};

// The string with the given id; the empty string when there is none, which is
// also what a caller that wants "no tip" sees.
constexpr std::string_view LoadString(int id) {
  for (const StringResource& s : kStringTable) {
    if (s.id == id) return s.text;
  }
  return {};
}

}  // namespace vantrel::res
