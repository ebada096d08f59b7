#pragma once
// The order watch's plain logic: the target statuses and their radio buttons on the
// platform's batch form, and the text a cycle leaves in the journal. GBK bytes.

#include <string>

namespace tools::orders {

// The window's three choices, in the order they are shown.
enum class Target { processing = 0, succeeded = 1, cancelled = 2 };

inline constexpr int kCheckIntervalMs = 10000;

// "处理中", "充值成功", "取消充值".
std::string target_caption(Target target);
// The batch form's radio: "RadioButton2", "RadioButton1", "RadioButton3".
const char* target_radio(Target target);
// What a cycle did: "勾选" + ticked + "个订单，置为" + caption + "，返回信息：" + message.
std::string cycle_detail(int ticked, Target target, const std::string& message);

}  // namespace tools::orders
