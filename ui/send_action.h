// The handlers of the send action, the input boxes' behaviours and the progress display.
#pragma once

// 功能_主要功能 clicked: sends the request the controls describe and shows what came back.
void OnSendClicked();
// Left mouse button released on 输入_模拟方式: switches between "POST" and "GET".
void OnMethodBoxButtonUp();
// 输入_代理地址 got or lost the focus: clears or restores the placeholder.
void OnProxyFocus();
void OnProxyBlur();
// 显示_提示信息 received a progress report: bytes read so far, reads so far (capped at 100).
void OnFeedback(int bytes, int steps);
