// The window message by which a running exchange reports its progress: posted, never sent.
// wParam: body bytes received so far; lParam: reads made so far, capped at 100 (the last report: 100).
#pragma once

constexpr unsigned FeedbackMessage = 32885;
constexpr int FeedbackStepCap = 100;
