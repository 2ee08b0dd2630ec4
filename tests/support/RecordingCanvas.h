// A canvas over a recording device, with the device kept at hand for reading what was drawn.
#pragma once

#include <memory>

#include "platform/canvas/Canvas.h"
#include "support/RecordingDevice.h"

namespace tavo::test {

class RecordingCanvas {
 public:
  explicit RecordingCanvas(RecordingOptions options = {})
      : device_(new RecordingDevice(options)), canvas_(std::unique_ptr<CanvasDevice>(device_)) {}

  Canvas& canvas() { return canvas_; }
  RecordingDevice& device() { return *device_; }
  std::vector<RecordedOp>& ops() { return device_->ops; }

 private:
  RecordingDevice* device_;  // owned by canvas_
  Canvas canvas_;
};

}  // namespace tavo::test
