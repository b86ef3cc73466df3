#pragma once
#include <QWidget>
#include <functional>

// Answers the next modal window once it is shown: 'answer' gets the window and must end it.
// If no modal window appears within 5 s, or it stays open after the answer, the current test
// fails and the window is closed, so that the test never hangs.
void AnswerNextModal(std::function<void(QWidget* modal)> answer);

// The offscreen platform cannot shape windows and says so once for every message box shown
// (the box keeps its mask all the same); this expects those lines so that they fail no test.
void ExpectWindowMaskNotices(int shownBoxes);
