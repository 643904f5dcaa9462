#include "common/dvd/dvd_title_reader.h"

#include <algorithm>
#include <bitset>
#include <cstring>

#include <sys/stat.h>

#include <dvdread/ifo_read.h>

#include "common/dvd/dvd_disc_view.h"
#include "common/dvd/dvd_language.h"
#include "common/dvd/dvd_trace.h"

namespace {

constexpr int kMaxPgcNumber = 1024;
constexpr int kMaxProgramNumber = 100;

// libdvdread reports a path it cannot stat with perror, past its logger: check first.
bool PathExists(const char* path) {
  struct stat info;
  if (path != nullptr && stat(path, &info) == 0) return true;
  DvdTrace("dvd: cannot open \"%s\"\n", path != nullptr ? path : "");
  return false;
}

void NavError(dvdnav_t* nav) {
  if (nav != nullptr) DvdTrace("dvdnav: %s\n", dvdnav_err_to_string(nav));
}

const pgc_t* PgcOf(const ifo_handle_t* vts, int pgcn) {
  const pgcit_t* pgcit = vts->vts_pgcit;
  if (pgcit == nullptr || pgcn < 1 || pgcn > pgcit->nr_of_pgci_srp || pgcit->pgci_srp == nullptr) return nullptr;
  return pgcit->pgci_srp[pgcn - 1].pgc;
}

std::string LanguageOf(uint16_t code) { return DvdLanguageName(LangForCode(code)); }

// The cell address table must hold sane sector ranges.
bool CellAddressesValid(const ifo_handle_t* vts) {
  const c_adt_t* adt = vts->vts_c_adt;
  if (adt == nullptr || adt->cell_adr_table == nullptr) return false;
  const uint32_t bytes = adt->last_byte + 1 >= C_ADT_SIZE ? adt->last_byte + 1 - C_ADT_SIZE : 0;
  const uint32_t entries = bytes / sizeof(cell_adr_t);
  const uint32_t n = std::min<uint32_t>(adt->nr_of_vobs, entries);
  for (uint32_t i = 0; i < n; ++i) {
    const cell_adr_t& c = adt->cell_adr_table[i];
    if ((c.start_sector & 0xFFFFFF) == 0xFFFFFF || (c.last_sector & 0xFFFFFF) == 0xFFFFFF ||
        c.start_sector >= c.last_sector)
      return false;
  }
  return true;
}

void AddSubtitle(DvdTitle& title, int stream, const subp_attr_t& attr) {
  const int32_t id = ((0x20 + stream) << 8) | 0xBD;
  for (const DvdSubtitle& s : title.subtitles)
    if (s.streamId == id) return;
  title.subtitles.push_back(DvdSubtitle{id, LanguageOf(attr.lang_code), attr.code_extension});
}

void ScanAudio(DvdTitle& title, const ifo_handle_t* vts, const pgc_t* pgc) {
  const vtsi_mat_t* mat = vts->vtsi_mat;
  const int streams = std::min<int>(mat->nr_of_vts_audio_streams, 8);
  for (int i = 0; i < streams; ++i) {
    const uint16_t control = pgc->audio_control[i];
    if ((control & 0x8000) == 0) continue;
    const int n = (control >> 8) & 0x7F;
    const audio_attr_t& attr = mat->vts_audio_attr[i];
    int32_t codec = 0;
    int32_t id = 0;
    switch (attr.audio_format) {
      case 0:
        codec = kDvdAudioAc3;
        id = ((0x80 + n) << 8) | 0xBD;
        break;
      case 2:
      case 3:
        codec = kDvdAudioMpeg;
        id = 0xC0 + n;
        break;
      case 4:
        codec = kDvdAudioLpcm;
        id = ((0xA0 + n) << 8) | 0xBD;
        break;
      case 6:
        codec = kDvdAudioDts;
        id = ((0x88 + n) << 8) | 0xBD;
        break;
      default:
        continue;
    }
    const bool known =
        std::any_of(title.audio.begin(), title.audio.end(), [id](const DvdAudio& a) { return a.streamId == id; });
    if (known) continue;
    title.audio.push_back(
        DvdAudio{id, codec, 48000, attr.channels + 1, LanguageOf(attr.lang_code), attr.code_extension});
  }
}

void ScanSubpictures(DvdTitle& title, const ifo_handle_t* vts, const pgc_t* pgc) {
  const vtsi_mat_t* mat = vts->vtsi_mat;
  const video_attr_t& video = mat->vts_video_attr;
  const int streams = std::min<int>(mat->nr_of_vts_subp_streams, 32);
  for (int k = 0; k < streams; ++k) {
    const uint32_t control = pgc->subp_control[k];
    if ((control & 0x80000000u) == 0) continue;
    const subp_attr_t& attr = mat->vts_subp_attr[k];
    const int letterbox = (control >> 8) & 0x1F;
    const int wide = (control >> 16) & 0x1F;
    const int panscan = control & 0x1F;
    if (video.display_aspect_ratio == 0) {
      AddSubtitle(title, (control >> 24) & 0x7F, attr);
    } else if (video.display_aspect_ratio == 3) {
      if (video.permitted_df == 0) {
        AddSubtitle(title, letterbox, attr);
        AddSubtitle(title, wide, attr);
        AddSubtitle(title, panscan, attr);
      } else if (video.permitted_df == 2) {
        AddSubtitle(title, letterbox, attr);
        AddSubtitle(title, wide, attr);
      } else {
        AddSubtitle(title, (control >> 24) & 0x1F, attr);
      }
    }
  }
}

// First cell (0-based) of a program, or -1 when the program map does not give a valid one.
int ProgramFirstCell(const pgc_t* pgc, int program) {
  if (pgc == nullptr || pgc->program_map == nullptr || pgc->cell_playback == nullptr) return -1;
  if (program < 1 || program > pgc->nr_of_programs) return -1;
  const int cell = pgc->program_map[program - 1] - 1;
  if (cell < 0 || cell >= pgc->nr_of_cells) return -1;
  return cell;
}

// Fills a chapter's cells: from its program's first cell to the cell before the first cell
// of the next chapter in the same PGC, or to the PGC's last cell.
void WalkChapterCells(DvdChapterRecord& chapter, const pgc_t* pgc, const std::vector<DvdChapterRecord>& chapters) {
  const int first = ProgramFirstCell(pgc, chapter.program);
  if (first < 0) return;
  int nextProgram = 0;
  for (const DvdChapterRecord& other : chapters) {
    if (other.pgc == chapter.pgc && other.program > chapter.program &&
        (nextProgram == 0 || other.program < nextProgram))
      nextProgram = other.program;
  }
  int last = pgc->nr_of_cells - 1;
  if (nextProgram != 0) {
    const int nextFirst = ProgramFirstCell(pgc, nextProgram);
    if (nextFirst > first) last = nextFirst - 1;
  }
  for (int cell = first; cell <= last; cell = DvdNextCell(pgc, cell)) {
    const cell_playback_t& c = pgc->cell_playback[cell];
    const int64_t duration = DvdTimeToMs(c.playback_time) * 90;
    if (chapter.cells.size() < kDvdMaxCells)
      chapter.cells.push_back(
          DvdCell{static_cast<int32_t>(c.first_sector), static_cast<int32_t>(c.last_sector), duration, cell});
    chapter.lastSector = static_cast<int32_t>(c.last_sector);
    chapter.duration += duration;
  }
}

}  // namespace

void DvdIfoCloser::operator()(ifo_handle_t* ifo) const { ifoClose(ifo); }

int64_t DvdTimeToMs(const dvd_time_t& time) {
  auto bcd = [](uint8_t v) { return static_cast<int64_t>((v >> 4) * 10 + (v & 0x0F)); };
  int64_t ms = bcd(time.hour) * 3600000 + bcd(time.minute) * 60000 + bcd(time.second) * 1000;
  const int rate = (time.frame_u >> 6) & 3;
  const int64_t frames = ((time.frame_u >> 4) & 3) * 10 + (time.frame_u & 0x0F);
  if (rate == 1) ms += frames * 1000 / 25;
  if (rate == 3) ms += frames * 100000 / 2997;
  return ms;
}

int DvdNextCell(const pgc_t* pgc, int cell) {
  if (pgc == nullptr || pgc->cell_playback == nullptr || cell < 0 || cell >= pgc->nr_of_cells) return cell + 1;
  if (pgc->cell_playback[cell].block_type != BLOCK_TYPE_ANGLE_BLOCK) return cell + 1;
  const int last = pgc->nr_of_cells - 1;
  int end = cell;
  while (end < last && pgc->cell_playback[end].block_mode != BLOCK_MODE_LAST_CELL) ++end;
  return end + 1;
}

int64_t DvdChainDuration(const ifo_handle_t* vts, int pgcn, int program) {
  if (vts == nullptr || vts->vts_pgcit == nullptr) return 0;
  const int count = vts->vts_pgcit->nr_of_pgci_srp;
  if (pgcn == 0 || pgcn > count || pgcn >= kMaxPgcNumber || program == 0 || program >= kMaxProgramNumber) return 0;
  std::bitset<kMaxPgcNumber> visited;
  int64_t total = 0;
  for (int current = pgcn;;) {
    const pgc_t* pgc = PgcOf(vts, current);
    if (pgc != nullptr && pgc->nr_of_programs >= program) total += DvdTimeToMs(pgc->playback_time) * 90;
    visited.set(current);
    const int next = pgc != nullptr ? pgc->next_pgc_nr : 0;
    if (next == 0 || next >= kMaxPgcNumber || next > count || visited.test(next)) break;
    current = next;
    program = 1;
  }
  return total;
}

DvdTitlePtr DvdBuildTitle(const ifo_handle_t* vts, int vtsTtn, int number) {
  if (vts == nullptr || vts->vtsi_mat == nullptr || vts->vts_ptt_srpt == nullptr || vts->vts_pgcit == nullptr)
    return nullptr;
  if (!CellAddressesValid(vts)) return nullptr;
  const vts_ptt_srpt_t* ptts = vts->vts_ptt_srpt;
  if (vtsTtn < 1 || vtsTtn > ptts->nr_of_srpts || ptts->title == nullptr) return nullptr;
  const ttu_t& parts = ptts->title[vtsTtn - 1];
  if (parts.nr_of_ptts == 0 || parts.ptt == nullptr) return nullptr;

  // Longest chain of the title's parts; a lower program of the same PGC lowers the choice.
  int chosenPgc = parts.ptt[0].pgcn;
  int chosenProgram = parts.ptt[0].pgn;
  int64_t chosenDuration = DvdChainDuration(vts, chosenPgc, chosenProgram);
  for (int j = 1; j < parts.nr_of_ptts; ++j) {
    const int64_t d = DvdChainDuration(vts, parts.ptt[j].pgcn, parts.ptt[j].pgn);
    if (d > chosenDuration) {
      chosenDuration = d;
      chosenPgc = parts.ptt[j].pgcn;
      chosenProgram = parts.ptt[j].pgn;
    } else if (parts.ptt[j].pgcn == chosenPgc && parts.ptt[j].pgn < chosenProgram) {
      chosenProgram = parts.ptt[j].pgn;
    }
  }
  if (chosenPgc < 1 || chosenPgc >= kMaxPgcNumber) return nullptr;
  const pgc_t* pgc = PgcOf(vts, chosenPgc);
  if (pgc == nullptr || chosenProgram < 1 || chosenProgram > pgc->nr_of_programs) return nullptr;

  const video_attr_t& video = vts->vtsi_mat->vts_video_attr;
  if (video.display_aspect_ratio != 0 && video.display_aspect_ratio != 3) return nullptr;

  auto title = std::make_unique<DvdTitle>();
  title->number = number;
  ScanAudio(*title, vts, pgc);
  // pgc_t is packed: no references into it, a plain copy.
  std::memcpy(title->palette.data(), pgc->palette, sizeof pgc->palette);
  static_assert(sizeof pgc->palette == sizeof title->palette);
  ScanSubpictures(*title, vts, pgc);

  title->chapters.resize(parts.nr_of_ptts);
  for (int j = 0; j < parts.nr_of_ptts; ++j) {
    DvdChapterRecord& chapter = title->chapters[j];
    chapter.number = j + 1;
    chapter.pgc = parts.ptt[j].pgcn;
    chapter.program = parts.ptt[j].pgn;
  }
  for (DvdChapterRecord& chapter : title->chapters) {
    WalkChapterCells(chapter, PgcOf(vts, chapter.pgc), title->chapters);
    title->duration += chapter.duration;
  }

  static const int kWidths[4] = {720, 704, 352, 352};
  static const int kHeights[2][4] = {{480, 480, 480, 240}, {576, 576, 576, 288}};
  title->aspect = video.display_aspect_ratio;
  title->videoFormat = video.video_format;
  if (video.video_format <= 1) {
    title->width = kWidths[video.picture_size];
    title->height = kHeights[video.video_format][video.picture_size];
  }
  title->videoKind = video.mpeg_version != 0 ? kDvdVideoMpeg2 : kDvdVideoMpeg1;
  return title;
}

int DvdChapterFind(const std::vector<DvdChapterRecord>& chapters, int pgc, int program) {
  int found = 0;
  int foundProgram = 0;
  for (const DvdChapterRecord& c : chapters) {
    if (c.pgc == pgc && c.program <= program && c.program > foundProgram) {
      found = c.number;
      foundProgram = c.program;
    }
  }
  return found;
}

namespace {
thread_local std::vector<std::string> g_openNotes;
}  // namespace

const std::vector<std::string>& DvdOpenNotes() { return g_openNotes; }

DvdNavHandle::DvdNavHandle() = default;
DvdNavHandle::~DvdNavHandle() = default;

dvdnav_status_t DvdNextBlock(dvdnav_t* nav, uint8_t* buffer, int32_t* event, int32_t* length) {
  uint8_t* block = buffer;
  const dvdnav_status_t status = dvdnav_get_next_cache_block(nav, &block, event, length);
  if (block != buffer && block != nullptr) {
    if (status == DVDNAV_STATUS_OK) std::memcpy(buffer, block, DVD_VIDEO_LB_LEN);
    dvdnav_free_cache_block(nav, block);
  }
  return status;
}

DvdNavPtr DvdOpenNavigator(const DvdDiscView& view) {
  DvdNavPtr nav(view.OpenNavigator());
  if (!nav) return nullptr;
  if (dvdnav_set_readahead_flag(nav.get(), 1) != DVDNAV_STATUS_OK ||
      dvdnav_set_PGC_positioning_flag(nav.get(), 1) != DVDNAV_STATUS_OK) {
    NavError(nav.get());
    return nullptr;
  }
  return nav;
}

DvdNavHandlePtr DvdNavInit(const char* path) {
  g_openNotes.clear();
  if (!PathExists(path)) return nullptr;
  auto handle = std::make_unique<DvdNavHandle>();
  handle->path = path;
  handle->view = DvdDiscView::Open(path);
  g_openNotes = handle->view->notes();
  for (const std::string& note : g_openNotes) DvdTrace("dvd: %s\n", note.c_str());
  if (!handle->view->usable()) return nullptr;
  handle->nav = DvdOpenNavigator(*handle->view);
  if (!handle->nav) return nullptr;
  handle->reader.reset(handle->view->OpenReader());
  if (!handle->reader) return nullptr;
  handle->vmg.reset(ifoOpen(handle->reader.get(), 0));
  if (!handle->vmg) return nullptr;
  return handle;
}

void DvdNavClose(DvdNavHandlePtr& handle) { handle.reset(); }

std::optional<std::string> DvdNavName(const char* path) {
  if (!PathExists(path)) return std::nullopt;
  DvdReaderPtr reader(DVDOpen2(nullptr, &kDvdReadLogger, path));
  if (!reader) return std::nullopt;
  char volumeId[1024] = {};
  unsigned char volumeSetId[1024];
  if (DVDUDFVolumeInfo(reader.get(), volumeId, sizeof volumeId, volumeSetId, sizeof volumeSetId) != 0)
    return std::nullopt;
  volumeId[sizeof volumeId - 1] = 0;
  return std::string(volumeId);
}

int DvdNavTitleCount(DvdNavHandle& handle) {
  if (!handle.nav) return 0;
  int32_t count = 0;
  if (dvdnav_get_number_of_titles(handle.nav.get(), &count) != DVDNAV_STATUS_OK) {
    NavError(handle.nav.get());
    return 0;
  }
  return count > 0 ? count : 0;
}

DvdTitlePtr DvdNavTitleScan(DvdNavHandle& handle, int title) {
  if (!handle.vmg || !handle.reader) return nullptr;
  const tt_srpt_t* table = handle.vmg->tt_srpt;
  if (table == nullptr || table->title == nullptr || title < 1 || title > table->nr_of_srpts) return nullptr;
  const title_info_t& info = table->title[title - 1];
  if (info.title_set_nr == 0) return nullptr;
  if (handle.view && handle.view->Refused(info.title_set_nr)) return nullptr;
  const DvdIfoPtr vts(ifoOpen(handle.reader.get(), info.title_set_nr));
  if (!vts) return nullptr;
  return DvdBuildTitle(vts.get(), info.vts_ttn, title);
}

int DvdNavAngleCount(DvdNavHandle& handle) {
  int32_t current = 0;
  int32_t count = 0;
  if (!handle.nav || dvdnav_get_angle_info(handle.nav.get(), &current, &count) != DVDNAV_STATUS_OK) return 1;
  return count;
}

bool DvdNavSetAngle(DvdNavHandle& handle, int angle) {
  if (!handle.nav) return false;
  if (dvdnav_angle_change(handle.nav.get(), angle) != DVDNAV_STATUS_OK) {
    NavError(handle.nav.get());
    return false;
  }
  return true;
}
