#include "app/control_table.h"

#include <array>

namespace quillmere::app {

namespace {

using enum ControlKind;

constexpr std::array kControls{
    ControlRow{"标签1", Label, QRect(12, 16, 64, 24), "扫描人"},
    ControlRow{"扫描人编辑框", InputBox, QRect(92, 20, 152, 20), "", ControlRole::Scanner},
    ControlRow{"标签2", Label, QRect(252, 16, 72, 24), "设备制造商"},
    ControlRow{"设备制造商编辑框", InputBox, QRect(348, 20, 200, 20), "", ControlRole::Maker},
    ControlRow{"标签3", Label, QRect(556, 16, 64, 24), "设备型号"},
    ControlRow{"设备型号编辑框", InputBox, QRect(628, 20, 232, 20), "", ControlRole::Model},
    ControlRow{"标签5", Label, QRect(12, 48, 72, 24), "图像处理人"},
    ControlRow{"图像处理人编辑框", InputBox, QRect(92, 52, 152, 20), "", ControlRole::Processor},
    ControlRow{"标签4", Label, QRect(252, 48, 104, 24), "数字化软件描述"},
    ControlRow{"数字化软件描述编辑框", InputBox, QRect(348, 52, 512, 20), "", ControlRole::Software},
    ControlRow{"标签6", Label, QRect(12, 80, 80, 24), "图像文件夹"},
    ControlRow{"图像文件夹编辑框", InputBox, QRect(92, 80, 720, 20), "", ControlRole::Folder},
    ControlRow{"选择文件夹按钮", Button, QRect(820, 80, 40, 24), "选择", ControlRole::ChooseButton},
    ControlRow{"开始提取按钮", Button, QRect(12, 112, 72, 32), "开始提取", ControlRole::StartButton},
    ControlRow{"状态编辑框", StatusBox, QRect(92, 112, 768, 32), "", ControlRole::Status},
    ControlRow{"显示文件名选择框", CheckBox, QRect(8, 160, 80, 24), "显示文件名", ControlRole::ShowNames},
    ControlRow{"同时检验选择框", CheckBox, QRect(8, 192, 80, 24), "同时检验", ControlRole::Acceptance},
    ControlRow{"检验要求按钮", Button, QRect(8, 224, 80, 28), "检验要求…", ControlRole::RulesButton},
    ControlRow{"编辑框1", NotesBox, QRect(92, 152, 768, 368), "", ControlRole::Notes},
};

}  // namespace

std::span<const ControlRow> ControlTable() { return kControls; }

const ControlRow& ControlFor(ControlRole role) {
    for (const ControlRow& row : kControls) {
        if (row.role == role) return row;
    }
    return kControls.front();  // None: the first label
}

}  // namespace quillmere::app
