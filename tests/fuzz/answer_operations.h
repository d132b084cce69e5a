#pragma once
// The operation numbers of the answer fuzzer's input, shared with the seed
// generator so that a seed always names the operation it was recorded for.

namespace answerline {

enum Operation {
  kReceiveAnswer,
  kReadVariable,
  kReadVariableAnyType,
  kReadPointParams,
  kReadTable,
  kReadAlgorithms,
  kReadChangedParams,
  kReadCurrentMeasure,
  kReadMeasure,
  kReadInstantValue,
  kRecordToText,
  kReadParamValue,
  kReadLanguages,
  kWaitForAnswer,
  kScanBus,
  kSingleReads,
  kOperations
};

}  // namespace answerline
