// The file dialogs' filter lists in Qt's form.
#include "platform/ui/dialogs.h"

#include <gtest/gtest.h>

using platform::ui::qtFileFilter;

TEST(FileFilter, PairsBecomeQtFiltersWithBlankSeparatedPatterns) {
    EXPECT_EQ(qtFileFilter("All supported files|*.avi;*.bmp|All files|*"),
              "All supported files (*.avi *.bmp);;All files (*)");
    // Descriptions that show their patterns are not given them twice.
    EXPECT_EQ(qtFileFilter("Text file (*.txt)|*.txt|All files (*.*)|*.*"),
              "Text file (*.txt);;All files (*.*)");
    EXPECT_EQ(qtFileFilter("Video files (*.avi;*.mp4)|*.avi;*.mp4"), "Video files (*.avi *.mp4)");
    // A dangling description without patterns is left out.
    EXPECT_EQ(qtFileFilter("Pictures|*.jpg|Lonely"), "Pictures (*.jpg)");
    EXPECT_EQ(qtFileFilter(""), "");
}
