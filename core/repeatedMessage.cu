#include "core/repeatedMessage.h"

#include <cstdio>
#include <string>

#include "core/logErrorPrint.h"

FEM_DEFINE_REPORT_CELL(RepeatedMessages, repeatedMessageCell, RepeatedMessages{})

namespace {
// The message of a kind: the text before and after its id.
struct MessageText {
  const char* before;
  const char* after;
};

__host__ __device__ MessageText messageText(RepeatedMessage kind) {
  switch (kind) {
    case REPEATED_QUAD_SHELL_AREA:
      return {"四边形壳单元 ", " 面积求解错误"};
    case REPEATED_TRIANGLE_AREA:
      return {"三角形单元 ", " 面积求解错误"};
    case REPEATED_TRI_SHELL_AREA:
      return {"三角形壳单元 ", " 面积求解错误"};
    case REPEATED_TRI_MEMBRANE_AREA:
      return {"三角形膜单元 ", " 面积求解错误"};
    case REPEATED_PENTA_VOLUME:
      return {"三菱柱单元 ", " 体积求解错误"};
    case REPEATED_BEAM_LENGTH:
      return {"梁单元 ", " 长度为0"};
    case REPEATED_TIED_SLAVE_WELDED:
      return {"节点 ", " 被绑定又生成了焊接"};
    case REPEATED_TIED_MASTER_WELDED:
      return {"节点 ", " 参与绑定且参与焊接"};
    case REPEATED_TIED_TWICE:
      return {"节点 ", " 被重复绑定"};
    case REPEATED_MASS_SCALE_FACTOR:
      return {"单元 ", " 初始质量缩放因子存在错误"};
    case REPEATED_SOLID_NODE_COUNT:
      return {"单元 ", " 节点计数错误"};
    case REPEATED_BEAM_NODE_COUNT:
      return {"梁单元 ", " 节点计数错误"};
    case REPEATED_TRI_SHELL_NODE_COUNT:
      return {"三角形壳单元 ", " 节点计数错误"};
    case REPEATED_QUAD_SHELL_NODE_COUNT:
      return {"四边形壳单元 ", " 节点计数错误"};
    case REPEATED_ELEMENT_NODE_ID:
      return {"单元 ", " 的节点编号不在节点数组内，该单元不参与计算"};
    case REPEATED_PART_MISSING_NODE:
      return {"部件的单元引用了不存在的节点 ", ""};
    case REPEATED_GAUSS_POINT_RANGE:
      return {"单元 ", " 的积分点超出积分点数组"};
    case REPEATED_NO_GAUSS_POINTS:
      return {"单元 ", " 没有设置高斯积分点"};
    case REPEATED_TECPLOT_ELEMENT:
      return {"Tecplot output: element ", " is left out"};
    case REPEATED_VTK_ELEMENT:
      return {"VTK output: element ", " is not written"};
    default:
      return {"节点 ", " 既被绑定又绑定其他节点"};
  }
}
}  // namespace

__host__ __device__ bool countRepeated(RepeatedMessage kind, int id) {
  RepeatedMessages& messages = repeatedMessageCell();
  const unsigned int seen = atomicAddAnywhere(&messages.count[kind], 1u);
  if (seen < static_cast<unsigned int>(kRepeatedFirstIds)) messages.first[kind][seen] = id;
  return seen == 0;
}

__host__ __device__ void noteRepeated(RepeatedMessage kind, int id) {
  if (countRepeated(kind, id)) {
    const MessageText text = messageText(kind);
    printf("%s%d%s\n", text.before, id, text.after);
  }
}

void printRepeatedMessages() {
  syncDeviceForReports();
  const RepeatedMessages onDevice = FEM_REPORT_CELL_DEVICE_COPY(repeatedMessageCell, RepeatedMessages{});
  for (int kind = 0; kind < REPEATED_MESSAGE_KINDS; ++kind) {
    const unsigned int onHost = repeatedMessageCellOnHost.count[kind];
    const unsigned int count = onHost + onDevice.count[kind];
    if (count < 2) continue;
    std::string ids;
    for (unsigned int k = 0; k < count && k < static_cast<unsigned int>(kRepeatedFirstIds); ++k) {
      const int id = k < onHost ? repeatedMessageCellOnHost.first[kind][k] : onDevice.first[kind][k - onHost];
      ids += (k == 0 ? "" : ", ") + std::to_string(id);
    }
    const MessageText text = messageText(static_cast<RepeatedMessage>(kind));
    const std::string line = std::string(text.before) + "..." + text.after + ": " + std::to_string(count) +
                             " times in this run, the first for " + ids +
                             (count > static_cast<unsigned int>(kRepeatedFirstIds) ? ", ..." : "");
    std::printf("%s\n", line.c_str());
    if (g_runRecord.is_open()) g_runRecord << line << std::endl;
  }
}

void clearRepeatedMessages() { FEM_RESET_REPORT_CELL(repeatedMessageCell, RepeatedMessages{}); }
