#include "platform/common/local_file_error.h"

#include <gtest/gtest.h>

#include <cerrno>

using Platform::LocalFileError;

// A failure of a temporary file is told of the user's file from its parts, never by editing its text.
TEST(LocalFileError, ToldOfAnotherPathFromItsParts)
{
    const LocalFileError written("Falha ao gravar o arquivo local", "/tmp/.nota.xml.part-7", ENOSPC);
    EXPECT_STREQ(written.what(), "Falha ao gravar o arquivo local \"/tmp/.nota.xml.part-7\": sem espaço em disco.");
    const LocalFileError shown = written.About("/home/ana/nota.xml");
    EXPECT_STREQ(shown.what(), "Falha ao gravar o arquivo local \"/home/ana/nota.xml\": sem espaço em disco.");
    EXPECT_EQ(shown.Path(), "/home/ana/nota.xml");
    EXPECT_EQ(shown.ErrorCode(), ENOSPC);

    const LocalFileError own = LocalFileError::Told("não foi possível criar o arquivo na pasta escolhida", "/x", EACCES);
    EXPECT_STREQ(own.About("/y").what(), "não foi possível criar o arquivo na pasta escolhida");
    EXPECT_EQ(own.About("/y").Path(), "/y");
}
