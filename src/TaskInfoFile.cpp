#include "TaskInfoFile.h"

#include <tinyxml2.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "Logger.h"
#include "platform/AtomicFile.h"

namespace {

constexpr std::int64_t kMaxDownloadTimeMs = std::int64_t{10} * 366 * 24 * 3600 * 1000;  // ten years

void AddNumber(tinyxml2::XMLDocument& doc, tinyxml2::XMLElement* parent, const char* name, std::int64_t value) {
  parent->InsertEndChild(doc.NewElement(name))->ToElement()->SetText(value);
}

void AddText(tinyxml2::XMLDocument& doc, tinyxml2::XMLElement* parent, const char* name, const std::string& value) {
  parent->InsertEndChild(doc.NewElement(name))->ToElement()->SetText(value.c_str());
}

void ReadNumber(const tinyxml2::XMLElement* e, std::int64_t& field) {
  std::int64_t value = 0;
  if (e->QueryInt64Text(&value) == tinyxml2::XML_SUCCESS) field = value;
}

void ReadNumber(const tinyxml2::XMLElement* e, std::atomic<int>& field) {
  int value = 0;
  if (e->QueryIntText(&value) == tinyxml2::XML_SUCCESS) field = value;
}

std::string TextOf(const tinyxml2::XMLElement* e) { return e->GetText() != nullptr ? e->GetText() : ""; }

// One <Task> element into a task; unknown names ignored, later ones win.
std::unique_ptr<CTask> ReadTask(const tinyxml2::XMLElement* element) {
  auto task = std::make_unique<CTask>();
  for (const auto* e = element->FirstChildElement(); e != nullptr; e = e->NextSiblingElement()) {
    const std::string name = e->Name();
    if (name == "StartPos") {
      ReadNumber(e, task->StartPos);
    } else if (name == "EndPos") {
      ReadNumber(e, task->EndPos);
    } else if (name == "DownloadedPos") {
      std::int64_t value = task->DownloadedPos.load();
      ReadNumber(e, value);
      task->DownloadedPos = value;
    } else if (name == "RemotePath") {
      task->RemotePath = TextOf(e);
    } else if (name == "LocalPath") {
      task->LocalPath = TextOf(e);
    } else if (name == "TaskStatus") {
      ReadNumber(e, task->TaskStatus);
    } else if (name == "TaskId") {
      ReadNumber(e, task->TaskId);
    } else if (name == "RequestTimes") {
      task->RequestTimes = 0;
    }
  }
  return task;
}

}  // namespace

TaskInfoFile::TaskInfoFile(const std::string& localPath, const std::string& taskInfoPath)
    : m_localPath(localPath), m_taskInfoPath(taskInfoPath) {}

bool TaskInfoFile::exists() const {
  std::FILE* file = std::fopen(m_taskInfoPath.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

void TaskInfoFile::read(SavedTaskList& list) const {
  tinyxml2::XMLDocument doc;
  if (exists()) {
    std::ifstream in(m_taskInfoPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string content = text.str();
    if (doc.Parse(content.c_str(), content.size()) != tinyxml2::XML_SUCCESS) doc.Clear();
  }
  const tinyxml2::XMLElement* root = doc.FirstChildElement();
  for (const auto* e = root != nullptr ? root->FirstChildElement() : nullptr; e != nullptr;
       e = e->NextSiblingElement()) {
    const std::string name = e->Name();
    if (name == "ContentLength") {
      ReadNumber(e, list.contentLength);
    } else if (name == "DownloadTime") {
      ReadNumber(e, list.downloadTime);
      // Only a statistic, but later sums add to it: a time no run could
      // have spent starts over.
      if (list.downloadTime < 0 || list.downloadTime > kMaxDownloadTimeMs) list.downloadTime = 0;
    } else if (name == "Task") {
      auto task = ReadTask(e);
      if (task->ContentLength == 0) task->ContentLength = list.contentLength;
      list.tasks.push_back(std::move(task));
    }
  }
}

void TaskInfoFile::removeWithPackage() const {
  std::remove(m_localPath.c_str());
  std::remove(m_taskInfoPath.c_str());
}

std::string TaskInfoFile::BuildXml(const std::vector<std::unique_ptr<CTask>>& tasks, std::int64_t contentLength,
                                   std::int64_t downloadTime) {
  tinyxml2::XMLDocument doc;
  auto* root = doc.NewElement("TaskInfo");
  doc.InsertEndChild(root);
  AddNumber(doc, root, "TasksCount", static_cast<std::int64_t>(tasks.size()));
  AddNumber(doc, root, "ContentLength", contentLength);
  AddNumber(doc, root, "DownloadTime", downloadTime);
  for (const auto& task : tasks) {
    auto* e = doc.NewElement("Task");
    root->InsertEndChild(e);
    AddNumber(doc, e, "StartPos", task->StartPos);
    AddNumber(doc, e, "EndPos", task->EndPos);
    AddNumber(doc, e, "DownloadedPos", task->DownloadedPos.load());
    AddText(doc, e, "RemotePath", task->RemotePath);
    AddText(doc, e, "LocalPath", task->LocalPath);
    AddNumber(doc, e, "TaskStatus", task->TaskStatus.load());
    AddNumber(doc, e, "TaskId", task->TaskId.load());
    AddNumber(doc, e, "RequestTimes", task->RequestTimes.load());
  }
  tinyxml2::XMLPrinter printer;
  doc.Print(&printer);
  return printer.CStr();
}

bool TaskInfoFile::Store(const std::string& localPath, const std::string& taskInfoPath, const std::string& xml) {
  if (!platform::FlushFileData(localPath)) {
    QMLOG(" [Error]: "
          << "package not flushed, task info not saved");
    return false;
  }
  platform::ReplaceFileContent(taskInfoPath, xml);
  return true;
}

void TaskInfoFile::DiscardForChangedFile(const std::string& localPath, const std::string& taskInfoPath) {
  std::remove(taskInfoPath.c_str());
  if (::truncate(localPath.c_str(), 0) != 0 && errno != ENOENT) {
    QMLOG(" [Error]: "
          << "package of the old file not truncated, errno " << errno);
  }
}
