#include "System/Resource/Feeds/MediaRssSerializer.h"

#include "System/Xml/XmlDoc.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace System::Resource::Feeds {
namespace {

using TestSupport::Text;
using Xml::XmlDoc;
using Xml::XmlNode;

// Sets every optional element to its own value, starting with p.
void Fill(MediaOptional& optional, const String& p) {
    optional.mRating.mScheme = p + "rs";
    optional.mRating.mText = p + "rating";
    optional.mTitle.mType = "plain";
    optional.mTitle.mText = p + "title";
    optional.mDescription.mType = "html";
    optional.mDescription.mText = p + "desc";
    optional.mKeywords = p + "kw";
    Resource::Feeds::MediaThumbnail thumbnail;
    thumbnail.mUrl = p + "thumb";
    thumbnail.mHeight = 90;
    thumbnail.mWidth = 120;
    thumbnail.mTime = "12:05";
    optional.mThumbnails.Add(thumbnail);
    optional.mThumbnails.Add(Resource::Feeds::MediaThumbnail());
    Resource::Feeds::MediaCategory category;
    category.mScheme = p + "cs";
    category.mLabel = p + "cl";
    category.mText = p + "cat";
    optional.mCategories.Add(category);
    Resource::Feeds::MediaHash hash;
    hash.mAlgo = "md5";
    hash.mText = p + "hash";
    optional.mHashes.Add(hash);
    optional.mPlayer.mUrl = p + "player";
    optional.mPlayer.mHeight = 10;
    optional.mPlayer.mWidth = 20;
    Resource::Feeds::MediaCredit credit;
    credit.mRole = "author";
    credit.mScheme = p + "crs";
    credit.mText = p + "credit";
    optional.mCredits.Add(credit);
    optional.mCopyright.mUrl = p + "cu";
    optional.mCopyright.mText = p + "copy";
    Resource::Feeds::MediaText text;
    text.mType = "plain";
    text.mLang = "en";
    text.mStart = "00:01";
    text.mEnd = "00:02";
    text.mText = p + "text";
    optional.mTexts.Add(text);
    Resource::Feeds::MediaRestriction restriction;
    restriction.mRelationship = "allow";
    restriction.mType = "country";
    restriction.mText = p + "restr";
    optional.mRestrictions.Add(restriction);
}

const char* const kOptionalTemplate =
    "<category label=\"Pcl\" scheme=\"Pcs\">Pcat</category>"
    "<copyright url=\"Pcu\">Pcopy</copyright>"
    "<credit role=\"author\" scheme=\"Pcrs\">Pcredit</credit>"
    "<description type=\"html\">Pdesc</description>"
    "<hash algo=\"md5\">Phash</hash>"
    "<keywords>Pkw</keywords>"
    "<player height=\"10\" width=\"20\" url=\"Pplayer\" />"
    "<rating scheme=\"Prs\">Prating</rating>"
    "<restriction relationship=\"allow\" type=\"country\">Prestr</restriction>"
    "<text end=\"00:02\" lang=\"en\" start=\"00:01\" type=\"plain\">Ptext</text>"
    "<thumbnail height=\"90\" time=\"12:05\" url=\"Pthumb\" width=\"120\" />"
    "<thumbnail />"
    "<title type=\"plain\">Ptitle</title>";

std::string Optional(const std::string& prefix) {
    std::string text = kOptionalTemplate;
    for (auto at = text.find('P'); at != std::string::npos; at = text.find('P', at)) {
        text.replace(at, 1, prefix);
        at += prefix.size();
    }
    return text;
}

MediaGroup FullGroup() {
    MediaGroup group;
    Fill(group, "g");
    MediaContent content;
    Fill(content, "c");
    content.mUrl = "photo.jpg";
    content.mFileSize = 123456;
    content.mType = "image/jpeg";
    content.mMedium = "image";
    content.mIsDefault = true;
    content.mExpression = "full";
    content.mBitrate = "128";
    content.mFramerate = "25";
    content.mSamplingrate = "44.1";
    content.mChannels = "2";
    content.mDuration = 61;
    content.mHeight = 480;
    content.mWidth = 640;
    content.mLang = "de";
    group.mContents.Add(content);
    group.mContents.Add(MediaContent());
    group.mComments.mComments.Add("first & best");
    group.mComments.mComments.Add("second");
    group.mEmbed.mUrl = "embed";
    group.mEmbed.mHeight = 3;
    group.mEmbed.mWidth = 4;
    Resource::Feeds::MediaParam param;
    param.mName = "p";
    param.mValue = "v";
    group.mEmbed.mParams.Add(param);
    group.mEmbed.mParams.Add(Resource::Feeds::MediaParam());
    group.mResponses.mResponses.Add("resp");
    group.mBackLinks.mBackLinks.Add("back");
    group.mStatus.mState = "active";
    group.mStatus.mReason = "why";
    group.mPrice.mType = "rent";
    group.mPrice.mInfo = "info";
    group.mPrice.mPrice = "19.99";
    group.mPrice.mCurrency = "EUR";
    group.mLicense.mType = "text/html";
    group.mLicense.mHref = "lic";
    group.mLicense.mText = "CC";
    Resource::Feeds::MediaSubTitle subTitle;
    subTitle.mType = "srt";
    subTitle.mLang = "fr";
    subTitle.mHref = "sub.srt";
    group.mSubTitles.Add(subTitle);
    group.mPeerLink.mType = "torrent";
    group.mPeerLink.mHref = "peer";
    group.mLocation.mDescription = "never written";
    group.mRights.mStatus = "official";
    Resource::Feeds::MediaScene scene;
    scene.mTitle = "st";
    scene.mDescription = "sd";
    scene.mStartTime = "s0";
    scene.mEndTime = "s1";
    group.mScenes.mScenes.Add(scene);
    group.mScenes.mScenes.Add(Resource::Feeds::MediaScene());
    return group;
}

std::string FullGroupText() {
    return "<group xmlns=\"http://search.yahoo.com/mrss/\">" + Optional("g") +
           "<content bitrate=\"128\" channels=\"2\" duration=\"61\" expression=\"full\" "
           "fileSize=\"123456\" framerate=\"25\" height=\"480\" isDefault=\"true\" lang=\"de\" "
           "medium=\"image\" samplingrate=\"44.1\" type=\"image/jpeg\" url=\"photo.jpg\" "
           "width=\"640\">" +
           Optional("c") +
           "</content><content />"
           "<comments><comment>first &#38; best</comment><comment>second</comment></comments>"
           "<embed height=\"3\" url=\"embed\" width=\"4\"><param name=\"p\">v</param><param />"
           "</embed>"
           "<responses><response>resp</response></responses>"
           "<backLinks><backLink>back</backLink></backLinks>"
           "<status reason=\"why\" state=\"active\" />"
           "<price currency=\"EUR\" info=\"info\" price=\"19.99\" type=\"rent\" />"
           "<license href=\"lic\" type=\"text/html\">CC</license>"
           "<subTitle href=\"sub.srt\" lang=\"fr\" type=\"srt\" />"
           "<peerLink href=\"peer\" type=\"torrent\" />"
           "<rights status=\"official\" />"
           "<scenes><scene><sceneDescription>sd</sceneDescription>"
           "<sceneEndTime>s1</sceneEndTime><sceneStartTime>s0</sceneStartTime>"
           "<sceneTitle>st</sceneTitle></scene><scene /></scenes>"
           "</group>";
}

TEST(MediaRssSerializer, LeavesOutWhatIsNotSet) {
    MediaGroup group;
    group.mStatus.mReason = "reason without state";
    group.mPrice.mCurrency = "EUR";
    group.mLicense.mHref = "href without text";
    Resource::Feeds::MediaSubTitle subTitle;
    subTitle.mLang = "en";
    subTitle.mType = "srt";
    group.mSubTitles.Add(subTitle);
    group.mPeerLink.mType = "type";
    group.mEmbed.mHeight = 5;
    group.mPlayer.mWidth = 5;
    group.mTitle.mType = "plain";
    group.mLocation.mStart = "start";
    MediaContent content;
    content.mHeight = -1;
    content.mWidth = 0;
    content.mDuration = -5;
    content.mFileSize = 0;
    group.mContents.Add(content);
    EXPECT_EQ(Text(MediaRssSerializer().Serialize(group).ToString(false)),
              "<group xmlns=\"http://search.yahoo.com/mrss/\"><content /></group>");
}

TEST(MediaRssSerializer, WritesEveryFieldInItsPlaceAndOrderAndReadsItBack) {
    MediaRssSerializer serializer;
    EXPECT_EQ(Text(serializer.Serialize(MediaGroup()).ToString(false)),
              "<group xmlns=\"http://search.yahoo.com/mrss/\" />");
    EXPECT_EQ(Text(serializer.Serialize(FullGroup()).ToString(false)), FullGroupText());
    TestSupport::TempDir dir;
    const std::string path = dir.File("group.xml");
    XmlDoc doc;
    doc.Write(path.c_str(), serializer.Serialize(FullGroup()));
    XmlNode* root = doc.Import(path.c_str());
    ASSERT_NE(root, nullptr);
    const MediaGroup group = serializer.Deserialize(*root);
    // The writer's places are pinned above, so writing the read group again shows that every
    // field was read back into the field it came from.
    EXPECT_EQ(Text(serializer.Serialize(group).ToString(false)), FullGroupText());
}

TEST(MediaRssSerializer, ReadsElementNamesInAnyCaseAndOnlyContentAttributesSo) {
    XmlDoc doc;
    XmlNode* root = doc.Load(
        "<media:group><BACKLINKS><BackLink>b</BackLink></BACKLINKS>"
        "<Category Scheme=\"no\" label=\"yes\">c</Category>"
        "<CONTENT FILESIZE=\"77\" IsDefault=\"1\" Url=\"u\"><TITLE>t</TITLE></CONTENT>"
        "<scenes><Scene><scenetitle>no</scenetitle><sceneTitle>yes</sceneTitle></Scene></scenes>"
        "<rating>first</rating><rating scheme=\"s\">last</rating><unknown>u</unknown>"
        "</media:group>");
    ASSERT_NE(root, nullptr);
    // Written again, the group shows what was read where: the last rating, the
    // attributes of content only in any case, nothing of the unknown element.
    MediaRssSerializer serializer;
    EXPECT_EQ(Text(serializer.Serialize(serializer.Deserialize(*root)).ToString(false)),
              "<group xmlns=\"http://search.yahoo.com/mrss/\"><category label=\"yes\">c</category>"
              "<rating scheme=\"s\">last</rating>"
              "<content fileSize=\"77\" isDefault=\"true\" url=\"u\"><title>t</title></content>"
              "<backLinks><backLink>b</backLink></backLinks>"
              "<scenes><scene><sceneTitle>yes</sceneTitle></scene></scenes></group>");
}

TEST(MediaRssSerializer, PythonSeesAMediaGroupInTheWrittenOrder) {
    const String text = MediaRssSerializer().Serialize(FullGroup()).ToString(true);
    const auto result = TestSupport::RunPython(
        "import sys, xml.etree.ElementTree as E\n"
        "r = E.fromstring(sys.stdin.buffer.read())\n"
        "n = lambda t: t.split('}')[1]\n"
        "print(r.tag)\n"
        "print(' '.join(n(c.tag) for c in r))\n"
        "print(' '.join(r.find('{http://search.yahoo.com/mrss/}content').attrib))\n",
        Text(text));
    EXPECT_EQ(result.output,
              "{http://search.yahoo.com/mrss/}group\n"
              "category copyright credit description hash keywords player rating restriction "
              "text thumbnail thumbnail title content content comments embed responses "
              "backLinks status price license subTitle peerLink rights scenes\n"
              "bitrate channels duration expression fileSize framerate height isDefault lang "
              "medium samplingrate type url width\n");
}

}  // namespace
}  // namespace System::Resource::Feeds
