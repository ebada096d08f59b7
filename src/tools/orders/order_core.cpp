#include "tools/orders/order_core.h"

#include "text/text.h"

namespace tools::orders {

std::string target_caption(Target target) {
  switch (target) {
    case Target::succeeded: return text::utf8_to_gbk("充值成功");
    case Target::cancelled: return text::utf8_to_gbk("取消充值");
    case Target::processing: break;
  }
  return text::utf8_to_gbk("处理中");
}

const char* target_radio(Target target) {
  switch (target) {
    case Target::succeeded: return "RadioButton1";
    case Target::cancelled: return "RadioButton3";
    case Target::processing: break;
  }
  return "RadioButton2";
}

std::string cycle_detail(int ticked, Target target, const std::string& message) {
  return text::utf8_to_gbk("勾选") + std::to_string(ticked) + text::utf8_to_gbk("个订单，置为") +
         target_caption(target) + text::utf8_to_gbk("，返回信息：") + message;
}

}  // namespace tools::orders
