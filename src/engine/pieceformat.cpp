// The first-piece header between its bytes and the job record, through the set core's header value.
#include "engine/pieceformat.h"

#include "engine/jobstate.h"
#include "text/textops.h"

void buildFirstPieceHeader(uint8_t* header) {
    SetHeader value;
    value.pieceCount = jobState.pieceCount;
    value.descriptionFlag = settings.useDescription;
    value.description = jobState.description;
    value.name = jobState.sourceName;
    value.descriptionCopy = jobState.descriptionCopy;
    value.nameCopy = jobState.sourceNameCopy;
    value.size = wideValue(jobState.sourceSize);
    value.checksum = jobState.checksum;
    value.created = jobState.creationTime;
    value.accessed = jobState.lastAccessTime;
    value.written = jobState.lastWriteTime;
    value.attributes = jobState.fileAttributes;
    encodeHeader(value, header);
}

void readFirstPieceHeader(const uint8_t* header) {
    const SetHeader value = decodeHeader(header);
    jobState.pieceCount = value.pieceCount;
    settings.useDescription = value.descriptionFlag;
    copyTextBounded(value.description.c_str(), jobState.description, kTextBufferSize);
    copyTextBounded(value.name.c_str(), jobState.sourceName, kTextBufferSize);
    copyTextBounded(value.descriptionCopy.c_str(), jobState.descriptionCopy, kTextBufferSize);
    copyTextBounded(value.nameCopy.c_str(), jobState.sourceNameCopy, kTextBufferSize);
    setWide(jobState.sourceSize, value.size);
    jobState.checksum = value.checksum;
    jobState.creationTime = value.created;
    jobState.lastAccessTime = value.accessed;
    jobState.lastWriteTime = value.written;
    jobState.fileAttributes = value.attributes;
}
