// The message board opened at one message: the timeline's way into a
// conversation.
#include "views/msg_info_board.h"

#include <algorithm>

namespace fennaro {

void CMsgInfoBoard::showDeepMessage(const deep::DeepConversation* conversation, size_t entry) {
    showDeepConversation(conversation);
    if (conversation == nullptr || entry >= conversation->messages.size() || m_items.empty())
        return;
    // A message with an empty text makes no bubble; once the board is full
    // no later message does either. So the message's bubble is the one after
    // those of the earlier messages with a text (the last one shown when it
    // has none).
    size_t item = 0;
    for (size_t i = 0; i < entry; ++i)
        item += conversation->messages[i].body.empty() ? 0 : 1;
    item = std::min(item, m_items.size() - 1);
    // The date line above the bubble shows too.
    setScrollPosition(std::max(0, m_items[item].y - kFirstMsgItemY) / kScrollUnit);
}

} // namespace fennaro
